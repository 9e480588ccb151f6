// Kirune's own PDF writer: the files read back with qpdf and poppler's tools, and the font subset
// checked against every text the presets draw.
#include "render/pdf_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "problems/random.h"
#include "render/glyphs.h"
#include "render/image_set.h"
#include "render/pdf_font.h"
#include "render/pdf_samples.h"
#include "render/presets.h"
#include "render/program_file.h"
#include "render/session.h"
#include "render/trace_canvas.h"
#include "render/utf8.h"
#include "tests/render/trace_fixture.h"
#include "tests/support/program.h"

namespace kirune {
namespace {

// Every preset with every sheet part and every guard box on, on two pages and two seeds: each
// character of each text it draws is in the subset made when the program was built.
TEST(PdfFont, SubsetCoversEveryTextThePresetsDraw) {
  std::set<std::string> texts;
  for (const Preset& preset : presets()) {
    for (std::uint64_t seed : {1u, 2u}) {
      for (auto [width, height] : {std::pair{4724, 6783}, std::pair{3266, 4724}}) {
        Random rng{seed};
        Session session{ImageSet::builtIn(), rng};
        Settings& s = session.settings;
        s.SpinEdit1 = 2;
        s.CheckBox1 = s.CheckBox2 = s.CheckBox15 = s.CheckBox16 = true;
        for (auto box : Settings::timesRowBoxes) s.*box = true;
        for (auto box : Settings::decomposeBoxes) s.*box = true;
        std::ostringstream out;
        TraceCanvas canvas{out, width, height};
        runPreset(preset, session, canvas);
        for (const testing::Op& op : testing::parseTrace(out.str())) {
          if (op.kind == "text") texts.insert(op.text);
        }
      }
    }
  }
  // The underlay of every glyph code: digits and the four signs and the equals sign.
  EXPECT_EQ(texts.size(), 15u);
  for (int code = 0; code < 64; ++code) {
    if (!underlayText(code).empty()) texts.insert(std::string(underlayText(code)));
  }
  for (const std::string& text : texts) {
    for (char32_t c : utf8Codepoints(text)) EXPECT_NE(pdfGlyphOf(c), nullptr) << text;
  }
  EXPECT_EQ(pdfGlyphOf(U'あ'), nullptr);
  const PdfFont& font = builtInPdfFont();
  EXPECT_TRUE(std::regex_match(std::string(font.baseFont), std::regex("[A-Z]{6}\\+KleeOne-Regular")));
}

using test::run;

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class PdfWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("kirune-pdf-writer-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string save(const std::string& name, const std::string& bytes) {
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::filesystem::path dir;
  // A4 with margins of 5 mm.
  const PdfPage a4{595.2756, 841.8898, 14.1732, 14.1732, 4724, 6783};
};

void drawSheet(PdfWriter& pdf, const Picture& picture, int doc) {
  pdf.beginDoc({});
  for (int i = 0; i < 5; ++i) pdf.stretchDraw({100 + 600 * i, 100, 550 + 600 * i, 700}, picture);
  pdf.setPenWidth(6);
  pdf.moveTo(100, 1000);
  pdf.lineTo(4000, 1000);
  pdf.setFontHeight(300);
  if (doc == 1) pdf.textOut(500, 2000, "7＋5＝");
  pdf.endDoc();
}

TEST_F(PdfWriterTest, OneRevisionEachPictureOnceGreyTextInTheSubsetFont) {
  const Picture& picture = ImageSet::builtIn().get("TForm2.Image20");
  PdfString out;
  PdfWriter pdf(out, a4);
  for (int doc = 0; doc < 3; ++doc) drawSheet(pdf, picture, doc);
  EXPECT_EQ(pdf.pageCount(), 3);
  pdf.setInfo({"くりあがり ２０", "Kirune 6.2.0", "D:20240401093000+09'00'"});
  pdf.finishFile();
  EXPECT_EQ(pdf.pageCount(), 0);
  const std::string path = save("a.pdf", out.text);

  const test::Ran check = run({"qpdf", "--check", path}, 0);
  EXPECT_NE(check.out.find("No syntax or stream encoding errors"), std::string::npos) << check.out;
  EXPECT_EQ(count(out.text, "startxref"), 1u);
  EXPECT_EQ(count(out.text, "%%EOF"), 1u);
  EXPECT_TRUE(std::regex_search(out.text, std::regex("/ID \\[<[0-9A-F]{32}> <[0-9A-F]{32}>\\]")));

  // pdfimages lists every use; the object number tells whether the picture was stored once.
  std::istringstream rows(run({"pdfimages", "-list", path}, 0).out);
  std::string row;
  std::set<std::string> objects;
  int uses = 0;
  for (int n = 0; std::getline(rows, row); ++n) {
    std::istringstream cols(row);
    std::vector<std::string> c{std::istream_iterator<std::string>(cols), {}};
    if (n < 2 || c.size() < 11) continue;
    ++uses;
    objects.insert(c[10]);
    EXPECT_EQ(c[5], "gray") << row;
  }
  EXPECT_EQ(uses, 15);
  EXPECT_EQ(objects.size(), 1u);

  const std::string info = run({"pdfinfo", path}, 0).out;
  EXPECT_NE(info.find("Title:           くりあがり ２０\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Producer:        Kirune 6.2.0\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Pages:           3\n"), std::string::npos) << info;
  EXPECT_NE(info.find("595.276 x 841.89 pts (A4)"), std::string::npos) << info;
  EXPECT_NE(info.find("CreationDate:    Mon Apr  1 00:30:00 2024 UTC"), std::string::npos) << info;
  // The text survives, in the Klee One subset, on its page only.
  const auto words = [&path](int page) {
    const std::string p = std::to_string(page);
    std::istringstream text(run({"pdftotext", "-f", p, "-l", p, path, "-"}, 0).out);
    return std::vector<std::string>{std::istream_iterator<std::string>(text), {}};
  };
  EXPECT_EQ(words(2), std::vector<std::string>{"7＋5＝"});
  EXPECT_TRUE(words(1).empty());
  const std::string fonts = run({"pdffonts", path}, 0).out;
  EXPECT_TRUE(std::regex_search(
      fonts, std::regex("[A-Z]{6}\\+KleeOne-Regular +CID TrueType +Identity-H +yes yes yes")))
      << fonts;
}

// The print jobs: each document a file of its own on the same output, each complete; identical
// content gives identical bytes, other content another /ID.
TEST_F(PdfWriterTest, EachFileIsCompleteAndIdentifiedByItsBytes) {
  const Picture& picture = ImageSet::builtIn().get("TForm2.Image20");
  std::vector<std::string> files;
  for (int doc : {0, 0, 1}) {
    PdfString out;
    PdfWriter pdf(out, a4);
    drawSheet(pdf, picture, doc);
    pdf.finishFile();
    files.push_back(out.text);
  }
  EXPECT_EQ(files[0], files[1]);
  const auto id = [](const std::string& pdf) { return pdf.substr(pdf.find("/ID [")); };
  EXPECT_NE(id(files[0]), id(files[2]));

  PdfString out;
  PdfWriter pdf(out, a4);
  pdf.finishFile();
  EXPECT_TRUE(out.text.empty());  // no page, no file
  drawSheet(pdf, picture, 0);
  pdf.finishFile();
  const std::size_t first = out.text.size();
  drawSheet(pdf, picture, 1);
  pdf.finishFile();
  EXPECT_EQ(out.text.substr(0, first), files[0]);
  EXPECT_EQ(out.text.substr(first), files[2]);
  run({"qpdf", "--check", save("b.pdf", out.text.substr(first))}, 0);
}

// The identity is crc32, adler32 and length of every byte before the cross-reference table, however
// the bytes went out: gathered, written straight (a large picture made here) or with checksums made
// when the program was built (the built-in pictures).
TEST_F(PdfWriterTest, TheIdentityIsTheChecksumOfTheBytesBeforeTheTable) {
  Picture noise{"TForm2.Noise", StoredFormat::Bmp8Grey, 256, 256, 1, {}};
  std::uint32_t state = 12345;
  for (int i = 0; i < 256 * 256; ++i) {
    state = state * 1103515245u + 12345u;
    noise.pixels.push_back(static_cast<std::uint8_t>(state >> 24));
  }
  PdfString out;
  PdfWriter pdf(out, a4);
  drawSheet(pdf, ImageSet::builtIn().get("TForm2.Image20"), 1);
  drawSheet(pdf, noise, 0);
  drawSheet(pdf, ImageSet::builtIn().get("TForm2.Image41"), 1);
  pdf.finishFile();
  ASSERT_GT(out.text.size(), 64u * 1024u);  // more than one buffer's worth, the noise written straight

  const std::size_t table = std::stoull(out.text.substr(out.text.rfind("startxref\n") + 10));
  ASSERT_EQ(out.text.compare(table, 5, "xref\n"), 0);
  const auto* bytes = reinterpret_cast<const Bytef*>(out.text.data());
  const auto size = static_cast<uInt>(table);
  char id[40];
  std::snprintf(id, sizeof id, "%08lX%08lX%016llX", crc32(crc32(0L, Z_NULL, 0), bytes, size),
                adler32(adler32(0L, Z_NULL, 0), bytes, size), static_cast<unsigned long long>(table));
  EXPECT_NE(out.text.find("/ID [<" + std::string(id) + "> <" + id + ">]"), std::string::npos)
      << out.text.substr(out.text.find("/ID"), 80) << " against " << id;
  run({"qpdf", "--check", save("n.pdf", out.text)}, 0);
}

// Text is opaque, as on a printer canvas: its cell covers a picture drawn before it; where nothing is
// drawn there is no cell to see. A picture drawn after the text covers it.
TEST_F(PdfWriterTest, TextCellsCoverWhatLiesBeneathAndLaterPicturesCoverText) {
  const Picture black{"TForm2.Test", StoredFormat::Bmp8Grey, 1, 1, 1, {0}};
  PdfString out;
  PdfWriter pdf(out, {72, 72, 0, 0, 600, 600});  // an inch: 600 pixels, one point each 8.33
  pdf.beginDoc({});
  pdf.stretchDraw({0, 0, 600, 300}, black);
  pdf.setFontHeight(200);
  pdf.textOut(100, 50, "1");   // over the black band
  pdf.textOut(100, 350, "1");  // on white
  pdf.stretchDraw({400, 350, 600, 600}, black);
  pdf.textOut(420, 370, "8");  // over the second picture, then covered by a third
  pdf.stretchDraw({400, 350, 600, 600}, black);
  pdf.endDoc();
  pdf.finishFile();
  const std::string path = save("c.pdf", out.text);
  ASSERT_EQ(run({"pdftoppm", "-r", "600", "-gray", path, (dir / "r").string()}, 0).exitCode, 0);
  std::ifstream in(dir / "r-1.pgm", std::ios::binary);
  std::string magic;
  int width = 0, height = 0, max = 0;
  in >> magic >> width >> height >> max;
  in.get();
  std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  ASSERT_EQ(width, 600);
  const auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; };
  // Bottom of the first cell, below the digit's stroke: white inside the band, black beside it.
  EXPECT_GT(at(105, 240), 250);
  EXPECT_LT(at(300, 240), 5);
  EXPECT_GT(at(105, 540), 250);
  // The digit itself is drawn: some pixel of its cell is dark.
  int dark = 0;
  for (int y = 350; y < 550; ++y) {
    for (int x = 100; x < 200; ++x) dark += at(x, y) < 128;
  }
  EXPECT_GT(dark, 100);
  for (int y = 360; y < 590; ++y) EXPECT_LT(at(450, y), 5) << y;
}

class FailingOutput final : public PdfOutput {
 public:
  void write(std::string_view) override { throw PrinterError("full"); }
};

TEST_F(PdfWriterTest, AnOutputThatFailsStopsTheFile) {
  FailingOutput out;
  PdfWriter pdf(out, a4);
  // The first write fails, whether a picture goes out straight while drawing or the rest at the end.
  EXPECT_THROW(
      {
        drawSheet(pdf, ImageSet::builtIn().get("TForm2.Image20"), 1);
        pdf.finishFile();
      },
      PrinterError);
}

// The pictures' samples are handed to a file output as a place in the program's own file, which the
// kernel copies from: that place must hold exactly the bytes memory does. Data that is not the
// program's unchanging data has no such place.
int writableData[64] = {1};

TEST(ProgramFile, EveryPictureSampleLiesInTheProgramFileAsInMemory) {
  const auto samples = builtInPdfSamples();
  ASSERT_FALSE(samples.empty());
  for (const PdfSamples& s : samples) {
    const std::optional<ProgramFileRange> at = programFileRange(s.deflated.data(), s.deflated.size());
    ASSERT_TRUE(at.has_value()) << s.name;
    std::vector<std::uint8_t> file(s.deflated.size());
    ASSERT_EQ(::pread(at->fd, file.data(), file.size(), static_cast<off_t>(at->offset)),
              static_cast<ssize_t>(file.size()))
        << s.name;
    EXPECT_TRUE(std::equal(file.begin(), file.end(), s.deflated.begin())) << s.name;
  }
  const std::vector<std::uint8_t> heap(samples[0].deflated.begin(), samples[0].deflated.end());
  EXPECT_FALSE(programFileRange(heap.data(), heap.size()));
  EXPECT_FALSE(programFileRange(writableData, sizeof writableData));
  // A range that runs past the end of the program's file bytes.
  const auto& last = samples.back().deflated;
  EXPECT_FALSE(programFileRange(last.data(), std::size_t{1} << 40));
}

}  // namespace
}  // namespace kirune
