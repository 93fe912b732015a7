#include "formats/json.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using tbp::JsonKind;
using tbp::parseJson;

std::string nestedArrays(int levels) { return std::string(levels, '[') + std::string(levels, ']'); }

std::string errorOf(const std::string& text) {
  try {
    parseJson(text);
  } catch (const std::runtime_error& error) {
    return error.what();
  } catch (const std::logic_error& error) {
    return std::string("logic: ") + error.what();
  }
  return "no error";
}

TEST(Json, Scalars) {
  EXPECT_EQ(parseJson("null").kind(), JsonKind::Null);
  EXPECT_TRUE(parseJson(" true ").boolean());
  EXPECT_EQ(parseJson("true").kind(), JsonKind::Bool);
  EXPECT_FALSE(parseJson("false").boolean());
  EXPECT_EQ(parseJson("false").kind(), JsonKind::Bool);
  EXPECT_EQ(parseJson("\"hi\"").text(), "hi");
  EXPECT_EQ(parseJson("\"hi\"").kind(), JsonKind::String);
  EXPECT_EQ(parseJson("{}\n\t\r ").kind(), JsonKind::Object);
  EXPECT_EQ(parseJson("[]").kind(), JsonKind::Array);
}

TEST(Json, Numbers) {
  struct Row {
    const char* text;
    double expected;
  };
  const Row rows[] = {{"42", 42},     {"-1.5e3", -1500}, {"+7", 7},       {".5", 0.5},
                      {"1E2", 100},   {"0", 0},          {"1-2", 1},      {"3.25", 3.25},
                      {"1e-2", 0.01}, {"-0.0", -0.0},    {"12.5e+1", 125}};
  for (const Row& row : rows) {
    const tbp::JsonValue value = parseJson(row.text);
    EXPECT_EQ(value.kind(), JsonKind::Number) << row.text;
    EXPECT_DOUBLE_EQ(value.number(), row.expected) << row.text;
  }
  // The whole run is consumed even when only a prefix converts.
  EXPECT_EQ(parseJson("[1-2,3]").items().size(), 2u);
}

TEST(Json, ObjectsKeepLastDuplicateAndSortKeysByBytes) {
  const tbp::JsonValue object = parseJson(R"({"b": 1, "a": 2, "B": 3, "a": 4, "é": 5})");
  ASSERT_EQ(object.kind(), JsonKind::Object);
  const auto& members = object.members();
  ASSERT_EQ(members.size(), 4u);
  EXPECT_EQ(members[0].first, "B");
  EXPECT_EQ(members[1].first, "a");
  EXPECT_EQ(members[2].first, "b");
  EXPECT_EQ(members[3].first, "\xC3\xA9");
  EXPECT_EQ(object.get("a").number(), 4);
  EXPECT_EQ(object.get("b").number(), 1);
  EXPECT_EQ(object.get("B").number(), 3);
}

TEST(Json, LookupsOnTheWrongKindAreEmpty) {
  const tbp::JsonValue doc = parseJson(R"({"list": [1, "two", null], "n": 5})");
  EXPECT_TRUE(doc.get("missing").isNull());
  EXPECT_TRUE(doc.get("n").get("x").isNull());
  EXPECT_TRUE(doc.get("list").members().empty());
  EXPECT_TRUE(doc.items().empty());
  const auto& items = doc.get("list").items();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].number(), 1);
  EXPECT_EQ(items[1].text(), "two");
  EXPECT_TRUE(items[2].isNull());
  EXPECT_TRUE(items[1].get("x").isNull());
  // The shared null is one object, whatever was asked.
  EXPECT_EQ(&doc.get("missing"), &doc.get("other"));
}

TEST(Json, CopiesAreIndependentTrees) {
  tbp::JsonValue copy;
  {
    const tbp::JsonValue original = parseJson(R"({"a": {"b": [1, 2, 3]}})");
    copy = original;
  }
  EXPECT_EQ(copy.get("a").get("b").items().size(), 3u);
  EXPECT_EQ(copy.get("a").get("b").items()[2].number(), 3);
}

TEST(Json, NestingLimit) {
  EXPECT_EQ(parseJson(nestedArrays(201)).kind(), JsonKind::Array);
  EXPECT_EQ(errorOf(nestedArrays(202)), "json: nested too deeply");
  std::string objects;
  for (int i = 0; i < 201; ++i) objects += "{\"k\":";
  EXPECT_EQ(errorOf(objects + "1" + std::string(201, '}')), "json: nested too deeply");
  EXPECT_EQ(errorOf(objects.substr(5) + "1" + std::string(200, '}')), "no error");
}

TEST(Json, Errors) {
  struct Row {
    std::string text;
    const char* message;
  };
  const std::vector<Row> rows = {
      {"", "json: unexpected end"},
      {" \n\t", "json: unexpected end"},
      {"[", "json: unexpected end"},
      {"{\"a\":", "json: unexpected end"},
      {"1 2", "json: trailing data"},
      {"{} {}", "json: trailing data"},
      {"truex", "json: trailing data"},
      {"[1,]", "json: bad value"},
      {"{\"a\":1,}", "json: expected string"},
      {"{1:2}", "json: expected string"},
      {"{", "json: expected string"},
      {"{\"a\" 1}", "json: expected ':'"},
      {"{\"a\"", "json: expected ':'"},
      {"{\"a\":1 \"b\":2}", "json: expected ',' or '}'"},
      {"{\"a\":1", "json: expected ',' or '}'"},
      {"[1 2]", "json: expected ',' or ']'"},
      {"[1", "json: expected ',' or ']'"},
      {"\"abc", "json: unterminated string"},
      {"\"ab\\", "json: unterminated string"},
      {"NaN", "json: bad value"},
      {"Infinity", "json: bad value"},
      {"tru", "json: bad value"},
      {"nul", "json: bad value"},
      {"\f1", "json: bad value"},
      {"[1,\f2]", "json: bad value"},
      {"\x01", "json: bad value"},
      {"'a'", "json: bad value"},
  };
  for (const Row& row : rows) EXPECT_EQ(errorOf(row.text), row.message) << row.text;
}

TEST(Json, ConversionErrorsAreTheStandardOnes) {
  for (const char* text : {"-", "e5", "+", ".", "[--1]"}) {
    try {
      parseJson(text);
      ADD_FAILURE() << text << " parsed";
    } catch (const std::invalid_argument& error) {
      EXPECT_STREQ(error.what(), "stod") << text;
    }
  }
  for (const char* text : {"1e999", "-1e400"}) {
    try {
      parseJson(text);
      ADD_FAILURE() << text << " parsed";
    } catch (const std::out_of_range& error) {
      EXPECT_STREQ(error.what(), "stod") << text;
    }
  }
  try {
    parseJson("\"\\uZZ\"");
    ADD_FAILURE() << "bad escape parsed";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "stoul");
  }
}

TEST(Json, StringEscapes) {
  struct Row {
    std::string json;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {R"("a\bb\fc\nd\re\tf")", "a\bb\fc\nd\re\tf"},
      {R"("\"\\\/\q")", "\"\\/q"},
      {R"("\u0041")", "A"},
      {R"("\u00e9")", "\xC3\xA9"},
      {R"("\u00E9")", "\xC3\xA9"},
      {R"("\u07FF")", "\xDF\xBF"},
      {R"("\u0800")", "\xE0\xA0\x80"},
      {R"("\uFFFF")", "\xEF\xBF\xBF"},
      {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
      {R"("\ud83d")", "\xED\xA0\xBD"},
      {R"("\ud83dx")", "\xED\xA0\xBDx"},
      {R"("\ude00")", "\xED\xB8\x80"},
      {R"("\u41")", "A"},
      {"\"a\x01\tb\"", "a\x01\tb"},
      {"\"\xF0\x9F\x98\x80\"", "\xF0\x9F\x98\x80"},
  };
  for (const Row& row : rows) {
    const tbp::JsonValue value = parseJson(row.json);
    ASSERT_EQ(value.kind(), JsonKind::String) << row.json;
    EXPECT_EQ(value.text(), row.expected) << row.json;
  }
}

TEST(Json, MakeObjectSortsAndDeduplicates) {
  using Member = tbp::JsonValue::Member;
  const tbp::JsonValue object = tbp::JsonValue::makeObject(
      {Member{"z", tbp::JsonValue::makeNumber(1)}, Member{"m", tbp::JsonValue::makeBool(true)},
       Member{"z", tbp::JsonValue::makeString("last")}});
  ASSERT_EQ(object.members().size(), 2u);
  EXPECT_EQ(object.members()[0].first, "m");
  EXPECT_EQ(object.get("z").text(), "last");
}

}  // namespace
