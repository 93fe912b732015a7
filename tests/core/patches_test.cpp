#include "formats/patches.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "formats/bps_number.h"
#include "formats/byte_reader.h"
#include "formats/source_index.h"
#include "patch_tools.h"

namespace {

using patch_tools::Action;
using patch_tools::BpsPatch;
using patch_tools::crcOf;
using patch_tools::decode;
using patch_tools::text;
using tbp::Bytes;

constexpr std::uint64_t kSourceRead = 0, kTargetRead = 1, kSourceCopy = 2, kTargetCopy = 3;

template <typename F>
std::string errorOf(F&& action) {
  try {
    action();
  } catch (const tbp::PatchError& error) {
    return error.what();
  }
  return "no error";
}

std::string applyError(const Bytes& source, const Bytes& patch) {
  return errorOf([&] { tbp::applyBps(source, patch); });
}

std::string ipsError(const Bytes& source, const Bytes& patch) {
  return errorOf([&] { tbp::applyIps(source, patch); });
}

Bytes footerOnly(Bytes start) {
  start.resize(start.size() + 12, 0);
  return start;
}

// ---- numbers ----

TEST(BpsNumber, KnownEncodings) {
  struct Row {
    std::uint64_t value;
    Bytes encoding;
  };
  const std::vector<Row> rows = {
      {0, {0x80}},         {1, {0x81}},         {127, {0xFF}},         {128, {0x00, 0x80}},
      {255, {0x7F, 0x80}}, {256, {0x00, 0x81}}, {16511, {0x7F, 0xFF}}, {16512, {0x00, 0x00, 0x80}},
  };
  for (const Row& row : rows) {
    Bytes out;
    tbp::writeBpsNumber(out, row.value);
    EXPECT_EQ(out, row.encoding) << row.value;
    tbp::ByteReader reader(row.encoding.data(), row.encoding.size());
    EXPECT_EQ(tbp::readBpsNumber(reader), row.value);
    EXPECT_TRUE(reader.atEnd());
  }
}

TEST(BpsNumber, RoundTripsUpToTheLargest64BitValue) {
  std::vector<std::uint64_t> values = {std::numeric_limits<std::uint64_t>::max(),
                                       std::numeric_limits<std::uint64_t>::max() - 1, 1ull << 63,
                                       (1ull << 63) - 1};
  for (int bits = 1; bits < 64; ++bits) {
    values.push_back((1ull << bits) - 1);
    values.push_back(1ull << bits);
  }
  for (std::uint64_t value : values) {
    Bytes out;
    tbp::writeBpsNumber(out, value);
    tbp::ByteReader reader(out.data(), out.size());
    EXPECT_EQ(tbp::readBpsNumber(reader), value);
    EXPECT_TRUE(reader.atEnd());
  }
}

TEST(BpsNumber, EncodingsBeyond64BitsAreRefused) {
  Bytes largest;
  tbp::writeBpsNumber(largest, std::numeric_limits<std::uint64_t>::max());
  ASSERT_EQ(largest.size(), 10u);
  // One more in the last group is 2^64 and above.
  Bytes tooLarge = largest;
  tooLarge.back() += 1;
  Bytes elevenBytes(10, 0x00);
  elevenBytes.push_back(0x80);
  Bytes allOnes(9, 0x7F);
  allOnes.push_back(0xFF);
  for (const Bytes& encoding : {tooLarge, elevenBytes, allOnes}) {
    tbp::ByteReader reader(encoding.data(), encoding.size());
    EXPECT_EQ(errorOf([&] { tbp::readBpsNumber(reader); }), "BPS: number out of range");
  }
  // In a patch header, too.
  Bytes patch = text("BPS1");
  patch.insert(patch.end(), tooLarge.begin(), tooLarge.end());
  patch = footerOnly(patch);
  EXPECT_EQ(errorOf([&] { tbp::readBpsHeader(patch); }), "BPS: number out of range");
}

// ---- header ----

TEST(BpsHeader, Errors) {
  struct Row {
    const char* name;
    Bytes patch;
    const char* message;
  };
  const std::vector<Row> rows = {
      {"empty", {}, "not a BPS patch"},
      {"15 bytes", footerOnly(text("BPS")), "not a BPS patch"},
      {"wrong magic", footerOnly(text("BPS2\x80\x80\x80")), "not a BPS patch"},
      {"16 bytes", footerOnly(text("BPS1")), "BPS: truncated number"},
      {"second number cut", footerOnly(text("BPS1\x80")), "BPS: truncated number"},
      {"number runs into footer", footerOnly(text("BPS1\x80\x80\x01")), "BPS: truncated number"},
      {"metadata too long", footerOnly(text("BPS1\x80\x80\x83xy")), "BPS: bad metadata size"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(errorOf([&] { tbp::readBpsHeader(row.patch); }), row.message) << row.name;
  }
}

TEST(BpsHeader, FieldsAndSmallestPatch) {
  BpsPatch fields;
  fields.sourceSize = 1000;
  fields.targetSize = 70000;
  fields.metadata = "<meta>";
  fields.sourceCrc = 0x11223344;
  fields.targetCrc = 0xAABBCCDD;
  const tbp::BpsHeader header = tbp::readBpsHeader(fields.build());
  EXPECT_EQ(header.sourceSize, 1000u);
  EXPECT_EQ(header.targetSize, 70000u);
  EXPECT_EQ(header.metadata, "<meta>");
  EXPECT_EQ(header.sourceCrc, 0x11223344u);
  EXPECT_EQ(header.targetCrc, 0xAABBCCDDu);

  BpsPatch empty;
  empty.forSource({}).forTarget({});
  const Bytes smallest = empty.build();
  ASSERT_EQ(smallest.size(), 19u);
  EXPECT_TRUE(tbp::applyBps({}, smallest).empty());
}

TEST(BpsHeader, TargetSizeLimitAndCheckOrder) {
  BpsPatch patch;
  patch.targetSize = 0x4000000;
  EXPECT_EQ(tbp::readBpsHeader(patch.build()).targetSize, 0x4000000u);
  patch.targetSize = 0x4000001;
  EXPECT_EQ(errorOf([&] { tbp::readBpsHeader(patch.build()); }),
            "BPS: target over 64 MB (not a ROM patch)");
  // The metadata size is checked before the target size.
  Bytes both = text("BPS1\x80");
  tbp::writeBpsNumber(both, 0x4000001);
  both.push_back(0x85);
  EXPECT_EQ(errorOf([&] { tbp::readBpsHeader(footerOnly(both)); }), "BPS: bad metadata size");
  // A patch declaring 64 MB is refused by its contents, not by memory.
  patch.targetSize = 0x4000000;
  EXPECT_EQ(applyError({}, patch.build()), "BPS: result does not match (target CRC mismatch)");
}

// ---- applying: checks before the actions, in order ----

TEST(BpsApply, PatchCrcIsCheckedFirst) {
  const Bytes source(1024, 7);
  BpsPatch patch;
  patch.forSource(source).forTarget(source).action(kSourceRead, 1024);
  patch.damagePatchCrc = true;
  const std::string damaged = "BPS: the patch file is damaged (patch CRC mismatch)";
  EXPECT_EQ(applyError(source, patch.build()), damaged);
  EXPECT_EQ(applyError(Bytes(10, 1), patch.build()), damaged);
  patch.damagePatchCrc = false;
  EXPECT_EQ(tbp::applyBps(source, patch.build()), source);
}

// The header is read before the patch CRC is compared, so a bad header is named as such even
// when the footer does not match either.
TEST(BpsApply, HeaderIsCheckedBeforeThePatchCrc) {
  BpsPatch big;
  big.targetSize = 0x4000001;
  big.damagePatchCrc = true;
  Bytes hugeMetadata = text("BPS1\x80\x80");
  tbp::writeBpsNumber(hugeMetadata, std::numeric_limits<std::uint64_t>::max());
  const std::vector<std::pair<Bytes, std::string>> rows = {
      {footerOnly(text("BPS")), "not a BPS patch"},
      {footerOnly(text("BPS1")), "BPS: truncated number"},
      {footerOnly(hugeMetadata), "BPS: bad metadata size"},
      {big.build(), "BPS: target over 64 MB (not a ROM patch)"},
  };
  for (const auto& [patch, message] : rows) EXPECT_EQ(applyError({}, patch), message) << message;
}

TEST(BpsApply, SourceSizeThenSourceCrc) {
  const Bytes source(1024, 7);
  BpsPatch patch;
  patch.forSource(source).forTarget(source).action(kSourceRead, 1024);
  EXPECT_EQ(applyError(Bytes(1000, 9), patch.build()),
            "BPS: wrong source size (expected 1024 bytes, got 1000)");
  Bytes other = source;
  other[500] ^= 1;
  EXPECT_EQ(applyError(other, patch.build()),
            "BPS: this is not the ROM the patch was made for (source CRC mismatch)");
}

// ---- applying: each action error ----

struct ActionCase {
  const char* name;
  Bytes source;
  std::uint64_t targetSize;
  std::function<void(BpsPatch&)> actions;
  const char* message;
};

TEST(BpsApply, ActionErrors) {
  const Bytes src = text("0123456789");
  const std::vector<ActionCase> cases = {
      {"word cut at the footer", src, 4, [](BpsPatch& p) { p.bytes({0x00}); },
       "BPS: truncated number"},
      {"writes past target", src, 4, [](BpsPatch& p) { p.action(kSourceRead, 5); },
       "BPS: writes past the target size"},
      {"past target wins over past source", text("01"), 4,
       [](BpsPatch& p) { p.action(kSourceRead, 5); }, "BPS: writes past the target size"},
      {"SourceRead past source", text("01"), 4, [](BpsPatch& p) { p.action(kSourceRead, 4); },
       "BPS: SourceRead past the source"},
      {"TargetRead cut", src, 10, [](BpsPatch& p) { p.action(kTargetRead, 10).bytes(text("abc")); },
       "BPS: truncated TargetRead"},
      {"SourceCopy offset cut", src, 4, [](BpsPatch& p) { p.action(kSourceCopy, 2).bytes({0x01}); },
       "BPS: truncated number"},
      {"SourceCopy before start", src, 4, [](BpsPatch& p) { p.action(kSourceCopy, 2).offset(-1); },
       "BPS: SourceCopy outside the source"},
      {"SourceCopy past end", src, 4, [](BpsPatch& p) { p.action(kSourceCopy, 1).offset(11); },
       "BPS: SourceCopy outside the source"},
      {"SourceCopy runs off the end", src, 4,
       [](BpsPatch& p) { p.action(kSourceCopy, 3).offset(8); },
       "BPS: SourceCopy outside the source"},
      {"SourceCopy huge offset", src, 4,
       [](BpsPatch& p) {
         p.action(kSourceCopy, 1).offset(std::numeric_limits<std::int64_t>::max());
       },
       "BPS: SourceCopy outside the source"},
      {"TargetCopy on empty output", src, 4,
       [](BpsPatch& p) { p.action(kTargetCopy, 1).offset(0); },
       "BPS: TargetCopy outside the target"},
      {"TargetCopy before start", src, 4,
       [](BpsPatch& p) { p.action(kTargetRead, 1).bytes({1}).action(kTargetCopy, 1).offset(-1); },
       "BPS: TargetCopy outside the target"},
      {"TargetCopy at the output end", src, 4,
       [](BpsPatch& p) { p.action(kTargetRead, 1).bytes({1}).action(kTargetCopy, 1).offset(1); },
       "BPS: TargetCopy outside the target"},
      {"TargetCopy offset cut", src, 4,
       [](BpsPatch& p) {
         p.action(kTargetRead, 1).bytes({1}).action(kTargetCopy, 1).bytes({0x02});
       },
       "BPS: truncated number"},
      {"past target wins over a cut TargetRead", src, 4,
       [](BpsPatch& p) { p.action(kTargetRead, 10).bytes(text("abc")); },
       "BPS: writes past the target size"},
      {"past target wins over a cut SourceCopy offset", src, 4,
       [](BpsPatch& p) { p.action(kSourceCopy, 5).bytes({0x01}); },
       "BPS: writes past the target size"},
      {"past target wins over a bad TargetCopy", src, 4,
       [](BpsPatch& p) { p.action(kTargetCopy, 5).offset(-3); },
       "BPS: writes past the target size"},
      {"action word beyond 64 bits", src, 4,
       [](BpsPatch& p) { p.bytes(Bytes(10, 0x7F)).bytes({0x80}); }, "BPS: number out of range"},
      {"SourceCopy starting at the source end", src, 4,
       [](BpsPatch& p) { p.action(kSourceCopy, 1).offset(10); },
       "BPS: SourceCopy outside the source"},
      {"output too short", src, 4, [](BpsPatch& p) { p.action(kSourceRead, 3); },
       "BPS: result does not match (target CRC mismatch)"},
  };
  for (const ActionCase& c : cases) {
    BpsPatch patch;
    patch.forSource(c.source);
    patch.targetSize = c.targetSize;
    c.actions(patch);
    EXPECT_EQ(applyError(c.source, patch.build()), c.message) << c.name;
  }
}

TEST(BpsApply, WrongTargetCrc) {
  const Bytes source = text("abcdef");
  BpsPatch patch;
  patch.forSource(source).forTarget(source).action(kSourceRead, 6);
  patch.targetCrc ^= 0x100;
  EXPECT_EQ(applyError(source, patch.build()), "BPS: result does not match (target CRC mismatch)");
}

TEST(BpsApply, EveryActionKind) {
  const Bytes source = text("ABCDEFGHIJ");
  // "ABCD" (SourceRead) + "xy" (TargetRead) + "HIJ" (SourceCopy +7) + "BC" (SourceCopy -9)
  // + "BCBCB" (TargetCopy from target position 9, overlapping what it writes).
  const Bytes target = text("ABCDxyHIJBCBCBCB");
  BpsPatch patch;
  patch.forSource(source).forTarget(target);
  patch.action(kSourceRead, 4).action(kTargetRead, 2).bytes(text("xy"));
  patch.action(kSourceCopy, 3).offset(7).action(kSourceCopy, 2).offset(-9);
  patch.action(kTargetCopy, 5).offset(9);
  EXPECT_EQ(tbp::applyBps(source, patch.build()), target);
}

TEST(BpsApply, TargetCopyRepeatsAPattern) {
  Bytes target(101, 'X');
  BpsPatch patch;
  patch.forSource({}).forTarget(target);
  patch.action(kTargetRead, 1).bytes({'X'}).action(kTargetCopy, 100).offset(0);
  EXPECT_EQ(tbp::applyBps({}, patch.build()), target);
}

// ---- IPS ----

Bytes ips(const std::string& body) { return text("PATCH" + body); }

// The bytes of a string literal, embedded zero bytes included.
template <std::size_t N>
Bytes raw(const char (&literal)[N]) {
  return Bytes(literal, literal + N - 1);
}

TEST(IpsApply, Records) {
  const Bytes source = text("abcdefgh");
  struct Row {
    const char* name;
    Bytes patch;
    Bytes expected;
  };
  const std::vector<Row> rows = {
      {"only EOF", ips("EOF"), source},
      {"EOF with larger size", ips(std::string("EOF\x00\x01\x00", 6)), source},
      {"EOF with smaller size", ips(std::string("EOF\x00\x00\x03", 6)), text("abc")},
      {"EOF with two size bytes", ips(std::string("EOF\x00\x00", 5)), source},
      {"data record", ips(std::string("\x00\x00\x02\x00\x03XYZEOF", 11)), text("abXYZfgh")},
      {"record past the end", ips(std::string("\x00\x00\x0A\x00\x01QEOF", 9)),
       text(std::string("abcdefgh\x00\x00Q", 11))},
      {"RLE record", ips(std::string("\x00\x00\x06\x00\x00\x00\x04zEOF", 11)), text("abcdefzzzz")},
      {"two records", ips(std::string("\x00\x00\x00\x00\x01Z\x00\x00\x07\x00\x01ZEOF", 15)),
       text("ZbcdefgZ")},
      {"offset spelling EOF", ips(std::string("EOF\x00\x01Z", 6)), source},
      {"empty RLE past the end", ips(std::string("\x00\x00\x0A\x00\x00\x00\x00zEOF", 11)),
       text(std::string("abcdefgh\x00\x00", 10))},
      {"EOF size equal to the output", ips(std::string("EOF\x00\x00\x08", 6)), source},
  };
  for (const Row& row : rows) EXPECT_EQ(tbp::applyIps(source, row.patch), row.expected) << row.name;
}

TEST(IpsApply, Errors) {
  const Bytes source = text("abcdefgh");
  struct Row {
    const char* name;
    Bytes patch;
    const char* message;
  };
  const std::vector<Row> rows = {
      {"seven bytes", ips("EO"), "not an IPS patch"},
      {"PATCH only", ips(""), "not an IPS patch"},
      {"wrong magic",
       raw("PATCX\x00\x00\x00\x00\x00"
           "EOF"),
       "not an IPS patch"},
      {"BPS file", raw("BPS1\x80\x80\x80\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"),
       "not an IPS patch"},
      {"record header cut", ips(std::string("\x00\x00\x01\x00", 4)), "IPS: truncated record"},
      {"data cut",
       ips(std::string("\x00\x00\x01\x00\x05"
                       "ab",
                       7)),
       "IPS: truncated data"},
      {"RLE cut", ips(std::string("\x00\x00\x01\x00\x00\x00\x04", 7)), "IPS: truncated RLE"},
      {"no EOF", ips(std::string("\x00\x00\x01\x00\x01Z", 6)), "IPS: truncated (no EOF)"},
      {"no EOF, two bytes left", ips(std::string("\x00\x00\x01\x00\x01ZEO", 8)),
       "IPS: truncated (no EOF)"},
  };
  for (const Row& row : rows) EXPECT_EQ(ipsError(source, row.patch), row.message) << row.name;
}

// ---- creating ----

TEST(BpsCreate, IdenticalMegabyteIsOneSourceRead) {
  std::mt19937 random(1);
  const Bytes data = patch_tools::randomBytes(random, 1 << 20);
  const Bytes patch = tbp::createBps(data, data, "meta");
  const auto decoded = decode(patch);
  EXPECT_EQ(decoded.metadata, "meta");
  ASSERT_EQ(decoded.actions.size(), 1u);
  EXPECT_EQ(decoded.actions[0], (Action{0, 1u << 20, 0, {}}));
  EXPECT_EQ(tbp::applyBps(data, patch), data);
}

TEST(BpsCreate, ShiftedSourceIsFoundThroughTheIndex) {
  std::mt19937 random(2);
  const Bytes source = patch_tools::randomBytes(random, 4096);
  const Bytes dropped(source.begin() + 1, source.end());
  auto decoded = decode(tbp::createBps(source, dropped, ""));
  ASSERT_EQ(decoded.actions.size(), 1u);
  EXPECT_EQ(decoded.actions[0], (Action{2, 4095, 1, {}}));

  Bytes prefixed = {0x5A};
  prefixed.insert(prefixed.end(), source.begin(), source.end());
  if (prefixed[0] == source[0]) prefixed[0] ^= 0xFF;
  decoded = decode(tbp::createBps(source, prefixed, ""));
  ASSERT_EQ(decoded.actions.size(), 2u);
  EXPECT_EQ(decoded.actions[0], (Action{1, 1, 0, {prefixed[0]}}));
  EXPECT_EQ(decoded.actions[1], (Action{2, 4096, 0, {}}));
  EXPECT_EQ(tbp::applyBps(source, tbp::createBps(source, prefixed, "")), prefixed);
}

TEST(BpsCreate, LiteralThenOverlappingRun) {
  const Bytes source = text("nothing like it here");
  Bytes target = {'X'};
  target.insert(target.end(), 100, 'A');
  const Bytes patch = tbp::createBps(source, target, "");
  const auto decoded = decode(patch);
  ASSERT_EQ(decoded.actions.size(), 2u);
  EXPECT_EQ(decoded.actions[0], (Action{1, 2, 0, {'X', 'A'}}));
  EXPECT_EQ(decoded.actions[1], (Action{3, 99, 1, {}}));
  EXPECT_EQ(tbp::applyBps(source, patch), target);
}

TEST(BpsCreate, LowestSourceOffsetWins) {
  const Bytes key = text("KEY12345");
  Bytes source = {'Q'};
  source.insert(source.end(), key.begin(), key.end());
  source.insert(source.end(), key.begin(), key.end());
  const auto decoded = decode(tbp::createBps(source, key, ""));
  ASSERT_EQ(decoded.actions.size(), 1u);
  EXPECT_EQ(decoded.actions[0], (Action{2, 8, 1, {}}));
}

TEST(BpsCreate, ShortMatchesStayLiteral) {
  // Three equal bytes are too few for a SourceRead and 15 repeats too few for a run.
  const Bytes source = text("abcX");
  Bytes target = text("abcY");
  target.insert(target.end(), 15, 'Y');
  const auto decoded = decode(tbp::createBps(source, target, ""));
  ASSERT_EQ(decoded.actions.size(), 1u);
  EXPECT_EQ(decoded.actions[0].command, 1);
  EXPECT_EQ(decoded.actions[0].literal, target);
}

// At each position the first action that applies is taken: a SourceRead of at least 4 bytes
// before a run, a run of at least 16 before a match found through the index.
TEST(BpsCreate, ChoosesTheFirstActionThatApplies) {
  struct Row {
    const char* name;
    Bytes source;
    Bytes target;
    std::vector<Action> actions;
  };
  const std::vector<Row> rows = {
      {"SourceRead of 4 before a run, then a run of 16",
       text("DXAAAAzzzzzzzzzzzzzzzz"),
       text("C" + std::string(21, 'A')),
       {Action{1, 2, 0, text("CA")}, Action{0, 4, 0, {}}, Action{3, 16, 5, {}}}},
      {"run before a match in the source",
       text("WXYAB" + std::string(20, 'A')),
       text("WXYA" + std::string(20, 'A')),
       {Action{0, 4, 0, {}}, Action{3, 20, 3, {}}}},
      {"matches through the index, forward then back",
       text("0123456789ABCDEFGHIJ"),
       text("0123CDEFGHIJ456789AB"),
       {Action{0, 4, 0, {}}, Action{2, 8, 12, {}}, Action{2, 8, -16, {}}}},
  };
  for (const Row& row : rows) {
    const Bytes patch = tbp::createBps(row.source, row.target, "");
    EXPECT_EQ(decode(patch).actions, row.actions) << row.name;
    EXPECT_EQ(tbp::applyBps(row.source, patch), row.target) << row.name;
  }
}

// Source/target pairs with the shapes real ROM edits have: overwrites, insertions,
// deletions, runs, moved blocks; plus pure random and empty ones.
Bytes mutate(std::mt19937& random, const Bytes& source) {
  Bytes target = source;
  const int edits = static_cast<int>(random() % 8);
  for (int e = 0; e < edits; ++e) {
    const std::size_t at = target.empty() ? 0 : random() % (target.size() + 1);
    const std::size_t n = 1 + random() % 300;
    switch (random() % 5) {
      case 0: {
        const Bytes noise = patch_tools::randomBytes(random, n);
        target.insert(target.begin() + at, noise.begin(), noise.end());
        break;
      }
      case 1:
        target.erase(target.begin() + at, target.begin() + std::min(target.size(), at + n));
        break;
      case 2:
        target.insert(target.begin() + at, n, static_cast<std::uint8_t>(random()));
        break;
      case 3:
        for (std::size_t i = at; i < std::min(target.size(), at + n); ++i) target[i] ^= 0x5A;
        break;
      default:
        if (!source.empty()) {
          const std::size_t from = random() % source.size();
          const std::size_t len = std::min(n, source.size() - from);
          target.insert(target.begin() + at, source.begin() + from, source.begin() + from + len);
        }
    }
  }
  return target;
}

TEST(BpsCreate, RoundTripsOverManyPairs) {
  std::mt19937 random(2024);
  for (int round = 0; round < 600; ++round) {
    const std::size_t size = round < 40 ? round : random() % 5000;
    Bytes source = patch_tools::randomBytes(random, size);
    if (round % 7 == 0) {
      for (auto& b : source) b &= 3;  // few distinct bytes: many repeated keys and runs
    }
    const Bytes target = round % 11 == 0 ? patch_tools::randomBytes(random, random() % 3000)
                                         : mutate(random, source);
    const Bytes patch = tbp::createBps(source, target, round % 2 ? "m" : "");
    ASSERT_EQ(tbp::applyBps(source, patch), target) << "round " << round;
    ASSERT_EQ(tbp::readBpsHeader(patch).targetCrc, crcOf(target));
  }
}

}  // namespace

namespace {

// Every window of a buffer with many repeated keys maps to its first occurrence, and keys
// absent from the buffer are not found; with both slot widths.
template <typename Index>
void checkLowestOffsets() {
  std::mt19937 random(77);
  for (std::size_t size : {0u, 7u, 8u, 9u, 100u, 20000u}) {
    Bytes data = patch_tools::randomBytes(random, size);
    for (auto& b : data) b &= 1;  // two symbols: every 8-byte key repeats
    const Index index(data.data(), data.size());
    std::map<std::uint64_t, std::size_t> first;
    for (std::size_t j = 0; j + 8 <= data.size(); ++j) {
      std::uint64_t key = 0;
      std::memcpy(&key, data.data() + j, 8);
      first.emplace(key, j);
      ASSERT_EQ(index.find(data.data() + j), first.at(key)) << "size " << size << " at " << j;
    }
    const Bytes absent = {2, 2, 2, 2, 2, 2, 2, 2};
    EXPECT_EQ(index.find(absent.data()), Index::kNotFound);
  }
}

TEST(SourceIndex, FindsTheLowestOffsetOfEveryKey) {
  checkLowestOffsets<tbp::SourceIndex>();
  checkLowestOffsets<tbp::LargeSourceIndex>();
}

}  // namespace
