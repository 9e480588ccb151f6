#include "render/presets.h"

#include <array>

#include "render/decomposition_engine.h"
#include "render/fill_in_engine.h"
#include "render/standard_engine.h"

namespace kirune {
namespace {

constexpr std::string_view kKuriagariNashi = "くりあがりなし";
constexpr std::string_view kKurisagariNashi = "くりさがりなし";
constexpr std::string_view kKuriagariNashi10 = "くりあがりなし(含10)";
constexpr std::string_view kKurisagariNashi10 = "くりさがりなし(含10)";
constexpr std::string_view kKuriagari = "くりあがり";
constexpr std::string_view kKurisagari = "くりさがり";
constexpr std::string_view kTashizanKongou = "たしざん混合";
constexpr std::string_view kHikizanKongou = "ひきざん混合";
constexpr std::string_view kTashiHikiKongou = "たし算ひき算混合";
constexpr std::string_view kKakezan0 = "かけ算九九(含0)";
constexpr std::string_view kKakezanNo0 = "かけ算九九(除0)";
constexpr std::string_view kWarizanNashi = "わり算あまりなし";
constexpr std::string_view kWarizanAri = "わり算あまりあり";
constexpr std::string_view kWarizanNashiNo01 = "わり算あまりなし（除0・1）";
constexpr std::string_view kWarizanKongou = "わり算混合";
constexpr std::string_view kWarizanMuzukashii = "わり算難しいのだけ選んで";
constexpr std::string_view kKukuAnaume = "九九穴埋め  A×□=B･□×A=B　（除0）";
constexpr std::string_view kSakuranbo = "１０までの分解（さくらんぼ）";

constexpr std::string_view kTileTip = "問題の上にタイル図が印刷されます。";
// The one tile button whose hint is written in kana.
constexpr std::string_view kTileTip137 = "問題の上にタイル図がいんさつされます。";
constexpr std::string_view kS18Tip = "下に余白のある18題";

constexpr Engine kStd = Engine::Standard;
constexpr Engine kFill = Engine::FillIn;
constexpr Engine kDecomp = Engine::Decomposition;
constexpr Guard kNone = Guard::None;
constexpr Guard kRows = Guard::TimesRows;
constexpr Guard kNums = Guard::DecomposeNumbers;

// button, grid row, half, slot, row title, caption, kind (shurui), count item (mondaisuu), engine, tiles,
// guard, problems per sheet (SpinEdit3), tool tip. One row per button, grid row by grid row.
// clang-format off
constexpr std::array<Preset, 159> kPresets = {{
    {"BitBtn136", 1, 0, 0, kKuriagariNashi, "５", 0, 10, kStd, true, kNone, 0, kTileTip},
    {"BitBtn135", 1, 0, 1, kKuriagariNashi, "１０", 0, 7, kStd, true, kNone, 0, kTileTip},
    {"BitBtn151", 1, 0, 2, kKuriagariNashi, "s18", 0, 11, kStd, true, kNone, 0, kS18Tip},
    {"BitBtn75", 1, 0, 3, kKuriagariNashi, "１０", 0, 7, kStd, false, kNone, 0, {}},
    {"BitBtn76", 1, 0, 4, kKuriagariNashi, "１２", 0, 4, kStd, false, kNone, 0, {}},
    {"BitBtn1", 1, 0, 5, kKuriagariNashi, "２０", 0, 0, kStd, false, kNone, 0, {}},
    {"BitBtn77", 1, 0, 6, kKuriagariNashi, "３０", 0, 5, kStd, false, kNone, 0, {}},
    {"BitBtn2", 1, 0, 7, kKuriagariNashi, "４０", 0, 1, kStd, false, kNone, 0, {}},
    {"BitBtn78", 1, 0, 8, kKuriagariNashi, "６０", 0, 6, kStd, false, kNone, 0, {}},
    {"BitBtn3", 1, 0, 9, kKuriagariNashi, "８０", 0, 2, kStd, false, kNone, 0, {}},
    {"BitBtn79", 1, 0, 10, kKuriagariNashi, "100", 0, 3, kStd, false, kNone, 0, {}},
    {"BitBtn147", 1, 1, 0, kKurisagariNashi, "５", 4, 10, kStd, true, kNone, 0, kTileTip},
    {"BitBtn146", 1, 1, 1, kKurisagariNashi, "１０", 4, 7, kStd, true, kNone, 0, kTileTip},
    {"BitBtn155", 1, 1, 2, kKurisagariNashi, "s18", 4, 11, kStd, true, kNone, 0, kS18Tip},
    {"BitBtn80", 1, 1, 3, kKurisagariNashi, "１０", 4, 7, kStd, false, kNone, 0, {}},
    {"BitBtn81", 1, 1, 4, kKurisagariNashi, "１２", 4, 4, kStd, false, kNone, 0, {}},
    {"BitBtn4", 1, 1, 5, kKurisagariNashi, "２０", 4, 0, kStd, false, kNone, 0, {}},
    {"BitBtn82", 1, 1, 6, kKurisagariNashi, "３０", 4, 5, kStd, false, kNone, 0, {}},
    {"BitBtn5", 1, 1, 7, kKurisagariNashi, "４０", 4, 1, kStd, false, kNone, 0, {}},
    {"BitBtn83", 1, 1, 8, kKurisagariNashi, "６０", 4, 6, kStd, false, kNone, 0, {}},
    {"BitBtn6", 1, 1, 9, kKurisagariNashi, "８０", 4, 2, kStd, false, kNone, 0, {}},
    {"BitBtn84", 1, 1, 10, kKurisagariNashi, "100", 4, 3, kStd, false, kNone, 0, {}},
    {"BitBtn138", 2, 0, 0, kKuriagariNashi10, "５", 1, 10, kStd, true, kNone, 0, kTileTip},
    {"BitBtn137", 2, 0, 1, kKuriagariNashi10, "１０", 1, 7, kStd, true, kNone, 0, kTileTip137},
    {"BitBtn152", 2, 0, 2, kKuriagariNashi10, "s18", 1, 11, kStd, true, kNone, 0, kS18Tip},
    {"BitBtn63", 2, 0, 3, kKuriagariNashi10, "１０", 1, 7, kStd, false, kNone, 0, {}},
    {"BitBtn46", 2, 0, 4, kKuriagariNashi10, "１２", 1, 4, kStd, false, kNone, 0, {}},
    {"BitBtn7", 2, 0, 5, kKuriagariNashi10, "２０", 1, 0, kStd, false, kNone, 0, {}},
    {"BitBtn47", 2, 0, 6, kKuriagariNashi10, "３０", 1, 5, kStd, false, kNone, 0, {}},
    {"BitBtn8", 2, 0, 7, kKuriagariNashi10, "４０", 1, 1, kStd, false, kNone, 0, {}},
    {"BitBtn48", 2, 0, 8, kKuriagariNashi10, "６０", 1, 6, kStd, false, kNone, 0, {}},
    {"BitBtn9", 2, 0, 9, kKuriagariNashi10, "８０", 1, 2, kStd, false, kNone, 0, {}},
    {"BitBtn52", 2, 0, 10, kKuriagariNashi10, "100", 1, 3, kStd, false, kNone, 0, {}},
    {"BitBtn148", 2, 1, 0, kKurisagariNashi10, "５", 5, 10, kStd, true, kNone, 0, kTileTip},
    {"BitBtn145", 2, 1, 1, kKurisagariNashi10, "１０", 5, 7, kStd, true, kNone, 0, kTileTip},
    {"BitBtn156", 2, 1, 2, kKurisagariNashi10, "s18", 5, 11, kStd, true, kNone, 0, kS18Tip},
    {"BitBtn64", 2, 1, 3, kKurisagariNashi10, "１０", 5, 7, kStd, false, kNone, 0, {}},
    {"BitBtn49", 2, 1, 4, kKurisagariNashi10, "１２", 5, 4, kStd, false, kNone, 0, {}},
    {"BitBtn10", 2, 1, 5, kKurisagariNashi10, "２０", 5, 0, kStd, false, kNone, 0, {}},
    {"BitBtn50", 2, 1, 6, kKurisagariNashi10, "３０", 5, 5, kStd, false, kNone, 0, {}},
    {"BitBtn11", 2, 1, 7, kKurisagariNashi10, "４０", 5, 1, kStd, false, kNone, 0, {}},
    {"BitBtn51", 2, 1, 8, kKurisagariNashi10, "６０", 5, 6, kStd, false, kNone, 0, {}},
    {"BitBtn12", 2, 1, 9, kKurisagariNashi10, "８０", 5, 2, kStd, false, kNone, 0, {}},
    {"BitBtn45", 2, 1, 10, kKurisagariNashi10, "100", 5, 3, kStd, false, kNone, 0, {}},
    {"BitBtn140", 3, 0, 0, kKuriagari, "５", 2, 10, kStd, true, kNone, 0, kTileTip},
    {"BitBtn139", 3, 0, 1, kKuriagari, "１０", 2, 7, kStd, true, kNone, 0, kTileTip},
    {"BitBtn153", 3, 0, 2, kKuriagari, "s18", 2, 11, kStd, true, kNone, 0, kS18Tip},
    {"BitBtn57", 3, 0, 3, kKuriagari, "１０", 2, 7, kStd, false, kNone, 0, {}},
    {"BitBtn53", 3, 0, 4, kKuriagari, "１２", 2, 4, kStd, false, kNone, 0, {}},
    {"BitBtn13", 3, 0, 5, kKuriagari, "２０", 2, 0, kStd, false, kNone, 0, {}},
    {"BitBtn54", 3, 0, 6, kKuriagari, "３０", 2, 5, kStd, false, kNone, 0, {}},
    {"BitBtn14", 3, 0, 7, kKuriagari, "４０", 2, 1, kStd, false, kNone, 0, {}},
    {"BitBtn55", 3, 0, 8, kKuriagari, "６０", 2, 6, kStd, false, kNone, 0, {}},
    {"BitBtn15", 3, 0, 9, kKuriagari, "８０", 2, 2, kStd, false, kNone, 0, {}},
    {"BitBtn56", 3, 0, 10, kKuriagari, "100", 2, 3, kStd, false, kNone, 0, {}},
    {"BitBtn149", 3, 1, 0, kKurisagari, "５", 6, 10, kStd, true, kNone, 0, kTileTip},
    {"BitBtn144", 3, 1, 1, kKurisagari, "１０", 6, 7, kStd, true, kNone, 0, kTileTip},
    {"BitBtn157", 3, 1, 2, kKurisagari, "s18", 6, 11, kStd, true, kNone, 0, kS18Tip},
    {"BitBtn59", 3, 1, 3, kKurisagari, "１０", 6, 7, kStd, false, kNone, 0, {}},
    {"BitBtn58", 3, 1, 4, kKurisagari, "１２", 6, 4, kStd, false, kNone, 0, {}},
    {"BitBtn16", 3, 1, 5, kKurisagari, "２０", 6, 0, kStd, false, kNone, 0, {}},
    {"BitBtn60", 3, 1, 6, kKurisagari, "３０", 6, 5, kStd, false, kNone, 0, {}},
    {"BitBtn17", 3, 1, 7, kKurisagari, "４０", 6, 1, kStd, false, kNone, 0, {}},
    {"BitBtn61", 3, 1, 8, kKurisagari, "６０", 6, 6, kStd, false, kNone, 0, {}},
    {"BitBtn18", 3, 1, 9, kKurisagari, "８０", 6, 2, kStd, false, kNone, 0, {}},
    {"BitBtn62", 3, 1, 10, kKurisagari, "100", 6, 3, kStd, false, kNone, 0, {}},
    {"BitBtn142", 4, 0, 0, kTashizanKongou, "５", 3, 10, kStd, true, kNone, 0, kTileTip},
    {"BitBtn141", 4, 0, 1, kTashizanKongou, "１０", 3, 7, kStd, true, kNone, 0, kTileTip},
    {"BitBtn154", 4, 0, 2, kTashizanKongou, "s18", 3, 11, kStd, true, kNone, 0, kS18Tip},
    {"BitBtn65", 4, 0, 3, kTashizanKongou, "１０", 3, 7, kStd, false, kNone, 0, {}},
    {"BitBtn66", 4, 0, 4, kTashizanKongou, "１２", 3, 4, kStd, false, kNone, 0, {}},
    {"BitBtn19", 4, 0, 5, kTashizanKongou, "２０", 3, 0, kStd, false, kNone, 0, {}},
    {"BitBtn67", 4, 0, 6, kTashizanKongou, "３０", 3, 5, kStd, false, kNone, 0, {}},
    {"BitBtn20", 4, 0, 7, kTashizanKongou, "４０", 3, 1, kStd, false, kNone, 0, {}},
    {"BitBtn68", 4, 0, 8, kTashizanKongou, "６０", 3, 6, kStd, false, kNone, 0, {}},
    {"BitBtn21", 4, 0, 9, kTashizanKongou, "８０", 3, 2, kStd, false, kNone, 0, {}},
    {"BitBtn69", 4, 0, 10, kTashizanKongou, "100", 3, 3, kStd, false, kNone, 0, {}},
    {"BitBtn150", 4, 1, 0, kHikizanKongou, "５", 7, 10, kStd, true, kNone, 0, kTileTip},
    {"BitBtn143", 4, 1, 1, kHikizanKongou, "１０", 7, 7, kStd, true, kNone, 0, kTileTip},
    {"BitBtn158", 4, 1, 2, kHikizanKongou, "s18", 7, 11, kStd, true, kNone, 0, kS18Tip},
    {"BitBtn70", 4, 1, 3, kHikizanKongou, "１０", 7, 7, kStd, false, kNone, 0, {}},
    {"BitBtn71", 4, 1, 4, kHikizanKongou, "１２", 7, 4, kStd, false, kNone, 0, {}},
    {"BitBtn22", 4, 1, 5, kHikizanKongou, "２０", 7, 0, kStd, false, kNone, 0, {}},
    {"BitBtn72", 4, 1, 6, kHikizanKongou, "３０", 7, 5, kStd, false, kNone, 0, {}},
    {"BitBtn23", 4, 1, 7, kHikizanKongou, "４０", 7, 1, kStd, false, kNone, 0, {}},
    {"BitBtn73", 4, 1, 8, kHikizanKongou, "６０", 7, 6, kStd, false, kNone, 0, {}},
    {"BitBtn24", 4, 1, 9, kHikizanKongou, "８０", 7, 2, kStd, false, kNone, 0, {}},
    {"BitBtn74", 4, 1, 10, kHikizanKongou, "100", 7, 3, kStd, false, kNone, 0, {}},
    {"BitBtn159", 5, 0, 0, kTashiHikiKongou, "１０", 19, 7, kStd, false, kNone, 0, {}},
    {"BitBtn160", 5, 0, 1, kTashiHikiKongou, "１２", 19, 4, kStd, false, kNone, 0, {}},
    {"BitBtn161", 5, 0, 2, kTashiHikiKongou, "２０", 19, 0, kStd, false, kNone, 0, {}},
    {"BitBtn162", 5, 0, 3, kTashiHikiKongou, "３０", 19, 5, kStd, false, kNone, 0, {}},
    {"BitBtn163", 5, 0, 4, kTashiHikiKongou, "４０", 19, 1, kStd, false, kNone, 0, {}},
    {"BitBtn164", 5, 0, 5, kTashiHikiKongou, "６０", 19, 6, kStd, false, kNone, 0, {}},
    {"BitBtn165", 5, 0, 6, kTashiHikiKongou, "８０", 19, 2, kStd, false, kNone, 0, {}},
    {"BitBtn166", 5, 0, 7, kTashiHikiKongou, "100", 19, 3, kStd, false, kNone, 0, {}},
    {"BitBtn118", 6, 0, 0, kKakezan0, "２０", 8, 0, kStd, false, kRows, 0, {}},
    {"BitBtn26", 6, 0, 1, kKakezan0, "４０", 8, 1, kStd, false, kRows, 0, {}},
    {"BitBtn85", 6, 0, 2, kKakezan0, "６０", 8, 6, kStd, false, kRows, 0, {}},
    {"BitBtn27", 6, 0, 3, kKakezan0, "８０", 8, 2, kStd, false, kRows, 0, {}},
    {"BitBtn86", 6, 0, 4, kKakezan0, "１００", 8, 3, kStd, false, kRows, 0, {}},
    {"BitBtn117", 6, 1, 0, kKakezanNo0, "２０", 9, 0, kStd, false, kRows, 0, {}},
    {"BitBtn29", 6, 1, 1, kKakezanNo0, "４０", 9, 1, kStd, false, kRows, 0, {}},
    {"BitBtn87", 6, 1, 2, kKakezanNo0, "６０", 9, 6, kStd, false, kRows, 0, {}},
    {"BitBtn30", 6, 1, 3, kKakezanNo0, "８０", 9, 2, kStd, false, kRows, 0, {}},
    {"BitBtn88", 6, 1, 4, kKakezanNo0, "１００", 9, 3, kStd, false, kRows, 0, {}},
    {"BitBtn90", 7, 0, 0, kWarizanNashi, "１０", 10, 7, kStd, false, kNone, 0, {}},
    {"BitBtn89", 7, 0, 1, kWarizanNashi, "１２", 10, 4, kStd, false, kNone, 0, {}},
    {"BitBtn31", 7, 0, 2, kWarizanNashi, "２０", 10, 0, kStd, false, kNone, 0, {}},
    {"BitBtn91", 7, 0, 3, kWarizanNashi, "３０", 10, 5, kStd, false, kNone, 0, {}},
    {"BitBtn32", 7, 0, 4, kWarizanNashi, "４０", 10, 1, kStd, false, kNone, 0, {}},
    {"BitBtn92", 7, 0, 5, kWarizanNashi, "６０", 10, 6, kStd, false, kNone, 0, {}},
    {"BitBtn33", 7, 0, 6, kWarizanNashi, "８０", 10, 2, kStd, false, kNone, 0, {}},
    {"BitBtn93", 7, 0, 7, kWarizanNashi, "１００", 10, 3, kStd, false, kNone, 0, {}},
    {"BitBtn94", 7, 1, 0, kWarizanAri, "１０", 12, 7, kStd, false, kNone, 0, {}},
    {"BitBtn95", 7, 1, 1, kWarizanAri, "１２", 12, 4, kStd, false, kNone, 0, {}},
    {"BitBtn34", 7, 1, 2, kWarizanAri, "２０", 12, 0, kStd, false, kNone, 0, {}},
    {"BitBtn96", 7, 1, 3, kWarizanAri, "３０", 12, 5, kStd, false, kNone, 0, {}},
    {"BitBtn35", 7, 1, 4, kWarizanAri, "４０", 12, 1, kStd, false, kNone, 0, {}},
    {"BitBtn97", 7, 1, 5, kWarizanAri, "６０", 12, 6, kStd, false, kNone, 0, {}},
    {"BitBtn36", 7, 1, 6, kWarizanAri, "８０", 12, 2, kStd, false, kNone, 0, {}},
    {"BitBtn98", 7, 1, 7, kWarizanAri, "１００", 12, 3, kStd, false, kNone, 0, {}},
    {"BitBtn99", 8, 0, 0, kWarizanNashiNo01, "１０", 11, 7, kStd, false, kNone, 0, {}},
    {"BitBtn100", 8, 0, 1, kWarizanNashiNo01, "１２", 11, 4, kStd, false, kNone, 0, {}},
    {"BitBtn37", 8, 0, 2, kWarizanNashiNo01, "２０", 11, 0, kStd, false, kNone, 0, {}},
    {"BitBtn101", 8, 0, 3, kWarizanNashiNo01, "３０", 11, 5, kStd, false, kNone, 0, {}},
    {"BitBtn38", 8, 0, 4, kWarizanNashiNo01, "４０", 11, 1, kStd, false, kNone, 0, {}},
    {"BitBtn102", 8, 0, 5, kWarizanNashiNo01, "６０", 11, 6, kStd, false, kNone, 0, {}},
    {"BitBtn39", 8, 0, 6, kWarizanNashiNo01, "８０", 11, 2, kStd, false, kNone, 0, {}},
    {"BitBtn103", 8, 0, 7, kWarizanNashiNo01, "１００", 11, 3, kStd, false, kNone, 0, {}},
    {"BitBtn104", 8, 1, 0, kWarizanKongou, "１０", 13, 7, kStd, false, kNone, 0, {}},
    {"BitBtn105", 8, 1, 1, kWarizanKongou, "１２", 13, 4, kStd, false, kNone, 0, {}},
    {"BitBtn40", 8, 1, 2, kWarizanKongou, "２０", 13, 0, kStd, false, kNone, 0, {}},
    {"BitBtn106", 8, 1, 3, kWarizanKongou, "３０", 13, 5, kStd, false, kNone, 0, {}},
    {"BitBtn41", 8, 1, 4, kWarizanKongou, "４０", 13, 1, kStd, false, kNone, 0, {}},
    {"BitBtn107", 8, 1, 5, kWarizanKongou, "６０", 13, 6, kStd, false, kNone, 0, {}},
    {"BitBtn42", 8, 1, 6, kWarizanKongou, "８０", 13, 2, kStd, false, kNone, 0, {}},
    {"BitBtn108", 8, 1, 7, kWarizanKongou, "１００", 13, 3, kStd, false, kNone, 0, {}},
    {"BitBtn109", 9, 0, 0, kWarizanMuzukashii, "１０", 14, 7, kStd, false, kNone, 0, {}},
    {"BitBtn110", 9, 0, 1, kWarizanMuzukashii, "１２", 14, 4, kStd, false, kNone, 0, {}},
    {"BitBtn111", 9, 0, 2, kWarizanMuzukashii, "２０", 14, 0, kStd, false, kNone, 0, {}},
    {"BitBtn112", 9, 0, 3, kWarizanMuzukashii, "３０", 14, 5, kStd, false, kNone, 0, {}},
    {"BitBtn28", 9, 0, 4, kWarizanMuzukashii, "４０", 14, 1, kStd, false, kNone, 0, {}},
    {"BitBtn113", 9, 0, 5, kWarizanMuzukashii, "６０", 14, 6, kStd, false, kNone, 0, {}},
    {"BitBtn43", 9, 0, 6, kWarizanMuzukashii, "８０", 14, 2, kStd, false, kNone, 0, {}},
    {"BitBtn114", 9, 0, 7, kWarizanMuzukashii, "１００", 14, 3, kStd, false, kNone, 0, {}},
    {"BitBtn119", 9, 1, 0, kKukuAnaume, "１０", 17, 7, kFill, false, kNone, 0, {}},
    {"BitBtn120", 9, 1, 1, kKukuAnaume, "１２", 17, 4, kFill, false, kNone, 0, {}},
    {"BitBtn121", 9, 1, 2, kKukuAnaume, "２０", 17, 0, kFill, false, kNone, 0, {}},
    {"BitBtn122", 9, 1, 3, kKukuAnaume, "３０", 17, 5, kFill, false, kNone, 0, {}},
    {"BitBtn123", 9, 1, 4, kKukuAnaume, "４０", 17, 1, kFill, false, kNone, 0, {}},
    {"BitBtn124", 9, 1, 5, kKukuAnaume, "６０", 17, 6, kFill, false, kNone, 0, {}},
    {"BitBtn125", 9, 1, 6, kKukuAnaume, "８０", 17, 2, kFill, false, kNone, 0, {}},
    {"BitBtn126", 9, 1, 7, kKukuAnaume, "１００", 17, 3, kFill, false, kNone, 0, {}},
    {"BitBtn133", 10, 0, 0, kSakuranbo, "９", 18, 9, kDecomp, false, kNums, 9, {}},
    {"BitBtn127", 10, 0, 1, kSakuranbo, "１０", 18, 7, kDecomp, false, kNums, 0, {}},
    {"BitBtn134", 10, 0, 2, kSakuranbo, "１２", 18, 4, kDecomp, false, kNums, 12, {}},
    {"BitBtn131", 10, 0, 3, kSakuranbo, "１５", 18, 8, kDecomp, false, kNums, 15, {}},
    {"BitBtn132", 10, 0, 4, kSakuranbo, "２０", 18, 0, kDecomp, false, kNums, 0, {}},
}};
// clang-format on

// Steps 7 to 9 of a preset: they must happen however the engine returns, so that a failed print
// leaves a usable window behind.
class RestoreAfterRun {
 public:
  RestoreAfterRun(Settings& settings, const std::function<void(bool)>& setWindowEnabled)
      : settings_(settings), setWindowEnabled_(setWindowEnabled) {}
  RestoreAfterRun(const RestoreAfterRun&) = delete;
  RestoreAfterRun& operator=(const RestoreAfterRun&) = delete;
  ~RestoreAfterRun() {
    settings_.Label7 = false;
    settings_.withTiles = 0;
    if (setWindowEnabled_) setWindowEnabled_(true);
  }

 private:
  Settings& settings_;
  const std::function<void(bool)>& setWindowEnabled_;
};

void runEngine(Engine engine, Session& session, PageCanvas& canvas) {
  switch (engine) {
    case Engine::Standard:
      print00Click(session, canvas);
      return;
    case Engine::FillIn:
      print00aClick(session, canvas);
      return;
    case Engine::Decomposition:
      print00bClick(session, canvas);
      return;
  }
}

}  // namespace

std::string_view engineName(Engine engine) {
  switch (engine) {
    case Engine::Standard:
      return "print00Click";
    case Engine::FillIn:
      return "print00aClick";
    case Engine::Decomposition:
      return "print00bClick";
  }
  return {};
}

CaptionStyle captionStyle(const Preset& preset) {
  if (preset.caption == "s18") return CaptionStyle::ShortTiles;
  return preset.tiles ? CaptionStyle::Tiles : CaptionStyle::Plain;
}

std::span<const Preset> presets() { return kPresets; }

const Preset* findPreset(std::string_view button) {
  for (const Preset& p : kPresets) {
    if (p.button == button) return &p;
  }
  return nullptr;
}

std::string runTitle(const Preset& preset) {
  return std::string(preset.rowTitle) + ' ' + std::string(preset.caption);
}

IdleCause idleCause(const Preset& preset, const Settings& settings) {
  if (preset.guard == Guard::TimesRows && !settings.anyTimesRow()) return IdleCause::NoTimesRow;
  if (preset.guard == Guard::DecomposeNumbers && !settings.anyDecomposeNumber())
    return IdleCause::NoDecomposeNumber;
  if (!settings.CheckBox3) return IdleCause::PrintSwitchOff;
  if (settings.SpinEdit1 <= 0) return IdleCause::NoSheets;
  return IdleCause::None;
}

std::int64_t plannedDocuments(const Preset& preset, const Settings& settings) {
  if (idleCause(preset, settings) != IdleCause::None) return 0;
  return std::int64_t{settings.SpinEdit1} * (settings.CheckBox15 ? 2 : 1);
}

bool runPreset(const Preset& preset, Session& session, PageCanvas& canvas,
               const std::function<void(bool enabled)>& setWindowEnabled) {
  Settings& s = session.settings;
  // Only the preset's own guard stops it here; the engine itself passes over a run without sheets.
  const IdleCause idle = idleCause(preset, s);
  if (idle == IdleCause::NoTimesRow || idle == IdleCause::NoDecomposeNumber) return false;
  if (preset.tiles) s.withTiles = 1;
  s.Label7 = true;
  if (setWindowEnabled) setWindowEnabled(false);
  RestoreAfterRun restore(s, setWindowEnabled);
  session.title = runTitle(preset);
  s.shurui = preset.kind;
  s.setMondaisuu(preset.countItem);
  if (preset.problemsPerSheet != 0) s.setSpinEdit3(preset.problemsPerSheet);
  runEngine(preset.engine, session, canvas);
  return true;
}

}  // namespace kirune
