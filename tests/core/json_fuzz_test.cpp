#include <gtest/gtest.h>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

#include "formats/json.h"

// Thousands of generated, mutated and random texts: each must parse or fail with one of the
// reader's own messages or the standard conversion errors, never crash.

namespace {

constexpr int kRounds = 6000;

std::string randomScalar(std::mt19937& random) {
  static const char* const scalars[] = {"0",
                                        "-1.5e3",
                                        "+.5",
                                        "1e999",
                                        "null",
                                        "true",
                                        "false",
                                        "\"a\\u00e9\"",
                                        "\"\"",
                                        "\"x\\\"y\"",
                                        "12",
                                        "-",
                                        "\"\\ud83d\\ude00\"",
                                        ".",
                                        "3e",
                                        "\"\\q\\t\""};
  return scalars[random() % (sizeof scalars / sizeof *scalars)];
}

std::string randomDocument(std::mt19937& random, int depth) {
  const unsigned choice = depth > 6 ? 0 : random() % 3;
  if (choice == 0) return randomScalar(random);
  const bool object = choice == 1;
  std::string text(1, object ? '{' : '[');
  const int count = static_cast<int>(random() % 4);
  for (int i = 0; i < count; ++i) {
    if (i > 0) text += random() % 2 ? "," : " , ";
    if (object) text += "\"k" + std::to_string(random() % 5) + "\":";
    text += randomDocument(random, depth + 1);
  }
  text += object ? '}' : ']';
  return text;
}

std::string mutate(std::mt19937& random, std::string text) {
  static const std::string alphabet = "{}[]\",:\\u0123456789abcdefE+-. \t\n\r\f\x01tnl";
  const int edits = 1 + static_cast<int>(random() % 3);
  for (int e = 0; e < edits; ++e) {
    const std::size_t at = text.empty() ? 0 : random() % (text.size() + 1);
    const char c =
        random() % 8 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    switch (random() % 3) {
      case 0:
        text.insert(text.begin() + at, c);
        break;
      case 1:
        if (at < text.size()) text.erase(at, 1);
        break;
      default:
        if (at < text.size()) text[at] = c;
    }
  }
  return text;
}

// Every message the reader itself may give.
const std::set<std::string> kReaderMessages = {
    "json: nested too deeply",   "json: unexpected end", "json: expected string",
    "json: unterminated string", "json: expected ':'",   "json: expected ',' or '}'",
    "json: expected ',' or ']'", "json: bad value",      "json: trailing data",
};

// Records the outcome; any other exception or message fails the test.
void parseAndRecord(const std::string& text, std::set<std::string>& seen) {
  try {
    tbp::parseJson(text);
    seen.insert("ok");
  } catch (const std::invalid_argument& error) {
    const std::string what = error.what();
    ASSERT_TRUE(what == "stod" || what == "stoul") << what << " for " << text;
    seen.insert("invalid " + what);
  } catch (const std::out_of_range& error) {
    ASSERT_STREQ(error.what(), "stod") << text;
    seen.insert("range stod");
  } catch (const std::runtime_error& error) {
    const std::string what = error.what();
    ASSERT_TRUE(kReaderMessages.count(what)) << what << " for " << text;
    seen.insert(what);
  }
}

TEST(JsonFuzz, GeneratedMutatedAndRandomTexts) {
  std::mt19937 random(314);
  std::set<std::string> seen;
  for (int round = 0; round < kRounds; ++round) {
    const std::string document = randomDocument(random, 0);
    parseAndRecord(document, seen);
    parseAndRecord(mutate(random, document), seen);
    std::string noise(random() % 24, ' ');
    for (char& c : noise) c = static_cast<char>(random());
    parseAndRecord(noise, seen);
  }
  for (int depth : {150, 201, 202, 5000}) {
    parseAndRecord(std::string(depth, '[') + std::string(depth, ']'), seen);
    parseAndRecord(std::string(depth, '['), seen);
  }
  for (const char* outcome :
       {"ok", "json: unexpected end", "json: trailing data", "json: bad value",
        "json: expected string", "json: expected ':'", "json: expected ',' or '}'",
        "json: expected ',' or ']'", "json: unterminated string", "json: nested too deeply",
        "invalid stod", "range stod", "invalid stoul"}) {
    EXPECT_TRUE(seen.count(outcome)) << outcome;
  }
}

}  // namespace
