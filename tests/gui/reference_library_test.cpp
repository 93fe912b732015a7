#include <map>
#include <set>

#include <QFile>
#include <QTest>

#include "formats/json.h"
#include "reference/library_records.h"
#include "reference/reference_text.h"

using tbp::JsonValue;

namespace {

JsonValue idsObject(const QString& name) {
  return JsonValue::makeObject({{name.toStdString(), JsonValue::makeString("NAME text")}});
}

QString describe(const std::set<int>& ids) {
  if (ids.empty()) return QStringLiteral("none");
  return QStringLiteral("%1 ids, %2..%3").arg(ids.size()).arg(*ids.begin()).arg(*ids.rbegin());
}

JsonValue embedded(const QString& name) {
  QFile file(QStringLiteral(":/library/") + name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return tbp::parseJson(file.readAll().toStdString());
}

}  // namespace

class ReferenceLibraryTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { Q_INIT_RESOURCE(library); }

  void idSetFromMemberName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("ids");
    QTest::newRow("range") << "0-63"
                           << "64 ids, 0..63";
    QTest::newRow("single") << "70"
                            << "1 ids, 70..70";
    QTest::newRow("reversed range keeps lo") << "9-3"
                                             << "1 ids, 9..9";
    QTest::newRow("above 255 clamps") << "300"
                                      << "1 ids, 255..255";
    QTest::newRow("range cut at 255") << "250-300"
                                      << "6 ids, 250..255";
    QTest::newRow("blanks and sign") << " +12"
                                     << "1 ids, 12..12";
    QTest::newRow("no number is 0") << "abc"
                                    << "1 ids, 0..0";
    QTest::newRow("empty upper end") << "5-"
                                     << "1 ids, 5..5";
  }
  void idSetFromMemberName() {
    QFETCH(QString, name);
    QFETCH(QString, ids);
    QCOMPARE(describe(tbp::libraryIdSet(idsObject(name))), ids);
  }

  void versionFromLibVer_data() {
    QTest::addColumn<QString>("library");
    QTest::addColumn<int>("version");
    QTest::newRow("two") << "{\"lib_ver\": 2}" << 2;
    QTest::newRow("truncated") << "{\"lib_ver\": 4.9}" << 4;
    QTest::newRow("capped") << "{\"lib_ver\": 250}" << 99;
    QTest::newRow("huge") << "{\"lib_ver\": 1e300}" << 99;
    QTest::newRow("zero") << "{\"lib_ver\": 0}" << 1;
    QTest::newRow("negative") << "{\"lib_ver\": -3}" << 1;
    QTest::newRow("text") << "{\"lib_ver\": \"3\"}" << 1;
    QTest::newRow("missing") << "{}" << 1;
  }
  void versionFromLibVer() {
    QFETCH(QString, library);
    QFETCH(int, version);
    QCOMPARE(tbp::libraryVersion(tbp::parseJson(library.toStdString())), version);
  }

  void copiedTextKeepsRecordOrderAndLayout() {
    tbp::LibraryListing listing;
    listing.calling = "CALL";
    listing.records = {{7, "Math", "MUL", "a0", "r0", "multiplies"}, {3, "", "X", "", "", ""}};
    QCOMPARE(QString::fromStdString(tbp::copyAllText(listing, "REF\n")),
             QStringLiteral("CALL\n\n7  MUL  [Math]\n    in:  a0\n    out: r0\n    multiplies\n\n"
                            "3  X  []\n    in:  \n    out: \n    \n\nREF\n"));
  }

  void referenceSectionsRender_data() {
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");
    QTest::newRow("paragraphs, list, empty line")
        << "{\"sections\": [{\"title\": \"A<B\", \"text\": \"p & q\\n- i1\\n- i2\\n\\nend\"}]}"
        << "<h3>A&lt;B</h3><p>p &amp; q</p><ul><li>i1</li><li>i2</li></ul><p></p><p>end</p>"
        << "A<B\np & q\n  * i1\n  * i2\n\nend\n\n";
    QTest::newRow("list closed at the end of a section")
        << "{\"sections\": [{\"title\": \"S\", \"text\": \"- \\\"x\\\"\"}, {\"title\": \"T\", "
           "\"text\": \"\"}]}"
        << "<h3>S</h3><ul><li>&quot;x&quot;</li></ul><h3>T</h3><p></p>"
        << "S\n  * \"x\"\n\nT\n\n\n";
    QTest::newRow("not JSON") << "{\"sections\": ["
                              << ""
                              << "";
  }
  void referenceSectionsRender() {
    QFETCH(QString, document);
    QFETCH(QString, html);
    QFETCH(QString, text);
    const tbp::ReferenceDocument rendered = tbp::renderReference(document.toStdString());
    QCOMPARE(QString::fromStdString(rendered.html), html);
    QCOMPARE(QString::fromStdString(rendered.text), text);
  }

  // Every version keeps the ids of the one before with the same calls, and only adds.
  void libraryDocumentsGrowWithoutRenumbering() {
    const std::map<int, int> counts = {{1, 64}, {2, 68}, {3, 83}, {4, 88}, {5, 91}};
    std::map<int, std::pair<std::string, std::string>> previous;
    for (const auto& [version, count] : counts) {
      const JsonValue document = embedded(QStringLiteral("library_v%1.json").arg(version));
      QCOMPARE(int(document.get("lib_ver").number()), version);
      QVERIFY(!document.get("calling").text().empty());
      std::map<int, std::pair<std::string, std::string>> calls;
      for (const JsonValue& function : document.get("functions").items()) {
        const int id = int(function.get("id").number());
        QVERIFY2(!function.get("desc").text().empty(), qPrintable(QString::number(id)));
        const auto [at, fresh] =
            calls.emplace(id, std::pair{function.get("name").text(), function.get("group").text()});
        QVERIFY2(fresh, qPrintable(QStringLiteral("id %1 twice").arg(id)));
      }
      QCOMPARE(int(calls.size()), count);
      for (const auto& [id, call] : previous) {
        QVERIFY2(calls.contains(id) && calls[id] == call,
                 qPrintable(QStringLiteral("v%1 lost or changed id %2").arg(version).arg(id)));
      }
      previous = calls;
    }
  }

  void referenceHasItsElevenSections() {
    const QStringList expected = {"Calling the engine (trampolines)",
                                  "Saves (.srm files)",
                                  "Text and the overlay",
                                  "Hacks: registry, boot hooks and ids",
                                  "Memory map",
                                  "ROM layout and manifest",
                                  "Player features and chords",
                                  "Splash screens and sound",
                                  "MSU-1 music",
                                  "Palette tables",
                                  "Coprocessor chips (SuperFX, SA-1)"};
    QStringList titles;
    const JsonValue document = embedded(QStringLiteral("reference.json"));
    for (const JsonValue& section : document.get("sections").items()) {
      QVERIFY(!section.get("text").text().empty());
      titles << QString::fromStdString(section.get("title").text());
    }
    QCOMPARE(titles, expected);
  }
};

QTEST_MAIN(ReferenceLibraryTest)
#include "reference_library_test.moc"
