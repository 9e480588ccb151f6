#pragma once

#include <array>
#include <string>

namespace kirune {

/// Every control of the main window as a plain field named after its control, with the window's
/// defaults, plus the shared integers the engines read. The window keeps its widgets and this struct in
/// step; generators and engines read only the struct.
///
/// `mondaisuu` and `SpinEdit3` are changed only through their setters, so that `mondaisuuClick` and
/// `SpinEdit3Change` run exactly when the window's controls would run them.
class Settings {
 public:
  // Visible settings.
  int SpinEdit1 = 1;        ///< 作成枚数: sheets per click; any integer, 0 or less prints nothing.
  bool CheckBox1 = true;    ///< なまえ: name header.
  bool CheckBox2 = true;    ///< clip-art switch (caption "PRINT").
  bool CheckBox3 = true;    ///< print switch (caption "カット"); off: a preset prints nothing.
  bool CheckBox4 = false;   ///< カット一定: fixed clip-art number.
  int SpinEdit4 = 30;       ///< カット番号: 1..32.
  bool CheckBox15 = false;  ///< 答え別紙出力: answer sheet after each problem sheet.
  bool CheckBox16 = false;  ///< タイム書き込み欄: time field.
  // 段の設定: rows 0..9 of the times table.
  bool CheckBox5 = true, CheckBox6 = true, CheckBox7 = true, CheckBox8 = true, CheckBox9 = true,
       CheckBox10 = true, CheckBox11 = true, CheckBox12 = true, CheckBox13 = true, CheckBox14 = true;
  // 分解する数の設定: numbers 2..10 to decompose.
  bool CheckBox17 = true, CheckBox18 = true, CheckBox19 = true, CheckBox20 = true, CheckBox21 = true,
       CheckBox22 = true, CheckBox23 = true, CheckBox24 = true, CheckBox25 = true;
  int z1 = 0;   ///< ゼロ of kind 0: item 0 あり, item 1 なし.
  int z2 = 1;   ///< ゼロ of kind 1.
  int z3 = 0;   ///< ゼロ of kind 4.
  int z4 = 1;   ///< ゼロ of kind 5.
  int trg = 0;  ///< タイルつき: item 0 ２段, item 1 長.

  // Hidden controls.
  int shurui = 0;                     ///< problem kind, item 0..19.
  int SpinEdit2 = 0;                  ///< receives the pool size after each generation; nothing reads it.
  std::string Edit1 = "HGP教科書体";  ///< font name of the text written under the glyphs.
  bool Label6 = true;                 ///< visibility of the title "タイルつき" of the right tile column.
  bool Label7 = true;                 ///< visibility of the title "タイルつき" of the left tile column.

  // Shared integers.
  int withTiles = 0;  ///< 1 while a tile preset's print runs.

  /// Item of the problem-count choice (0..12).
  int mondaisuu() const { return mondaisuu_; }
  /// Problems per sheet.
  int SpinEdit3() const { return spinEdit3_; }

  /// Selects item `item` of `mondaisuu`; runs `mondaisuuClick` only when the item actually changes.
  void setMondaisuu(int item);
  /// Sets `SpinEdit3`; runs `SpinEdit3Change` only when the value actually changes.
  void setSpinEdit3(int value);

  /// Every check box in order: checkBoxes[n - 1] is `CheckBox`n.
  static constexpr std::array<bool Settings::*, 25> checkBoxes = {
      &Settings::CheckBox1,  &Settings::CheckBox2,  &Settings::CheckBox3,  &Settings::CheckBox4,
      &Settings::CheckBox5,  &Settings::CheckBox6,  &Settings::CheckBox7,  &Settings::CheckBox8,
      &Settings::CheckBox9,  &Settings::CheckBox10, &Settings::CheckBox11, &Settings::CheckBox12,
      &Settings::CheckBox13, &Settings::CheckBox14, &Settings::CheckBox15, &Settings::CheckBox16,
      &Settings::CheckBox17, &Settings::CheckBox18, &Settings::CheckBox19, &Settings::CheckBox20,
      &Settings::CheckBox21, &Settings::CheckBox22, &Settings::CheckBox23, &Settings::CheckBox24,
      &Settings::CheckBox25};
  /// The check box of times-table row d (0..9): `CheckBox5` + d.
  static constexpr std::array<bool Settings::*, 10> timesRowBoxes = {
      &Settings::CheckBox5,  &Settings::CheckBox6,  &Settings::CheckBox7,  &Settings::CheckBox8,
      &Settings::CheckBox9,  &Settings::CheckBox10, &Settings::CheckBox11, &Settings::CheckBox12,
      &Settings::CheckBox13, &Settings::CheckBox14};
  /// The check box of the number N (2..10) to decompose, at index N - 2: `CheckBox17` + (N - 2).
  static constexpr std::array<bool Settings::*, 9> decomposeBoxes = {
      &Settings::CheckBox17, &Settings::CheckBox18, &Settings::CheckBox19,
      &Settings::CheckBox20, &Settings::CheckBox21, &Settings::CheckBox22,
      &Settings::CheckBox23, &Settings::CheckBox24, &Settings::CheckBox25};

  bool timesRow(int d) const { return this->*timesRowBoxes[static_cast<std::size_t>(d)]; }
  bool decomposeNumber(int n) const { return this->*decomposeBoxes[static_cast<std::size_t>(n - 2)]; }
  bool anyTimesRow() const;
  bool anyDecomposeNumber() const;

  /// `mondaisuuClick`: sets `SpinEdit3` from the selected count item.
  void mondaisuuClick();
  /// `SpinEdit3Change`: maps a problems-per-sheet count onto the count choice.
  void SpinEdit3Change();

 private:
  int mondaisuu_ = 0;
  int spinEdit3_ = 20;
};

/// The items of `mondaisuu`: the number of problems each stands for.
inline constexpr std::array<int, 13> kMondaisuuItemCounts = {20, 40, 80, 100, 12, 30, 60,
                                                             10, 15, 9,  5,   18, 24};

}  // namespace kirune
