// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/HelpDocument.h"

#include <QTest>

using namespace zanthorix;

class HelpDocumentTest : public QObject {
  Q_OBJECT
private slots:
  void documentParsing();
  void hostileDocumentsAreReadAsBareText();
};

void HelpDocumentTest::documentParsing() {
  const HelpDocument doc = ParseHelpDocument(QStringLiteral(R"(
<html><head><TITLE>The &amp; Title</TITLE>
<meta name="index" content="zebra#z">
<meta name="index" content="Q&amp;A#qa">
<meta name="index" content="apple#a">
<meta name="index" content="no anchor">
<meta name="index" content="#lonely">
<meta name="keywords" content="ignored#a">
</head><body>
<h1><a name="a">First <b>chapter</b></a></h1>
<h2 id="qa">Questions</h2>
<h3>
  <a name='z'>Deep
  one</a></h3>
<h2>Not in the contents</h2>
<p><a name="inline">x</a> <span id="s">y</span></p>
<h4><a name="four">Too deep</a></h4>
</body></html>)"));
  QCOMPARE(doc.title, QStringLiteral("The & Title"));
  QCOMPARE(int(doc.contents.size()), 3);
  QCOMPARE(doc.contents[0].title, QStringLiteral("First chapter"));
  QCOMPARE(doc.contents[0].anchor, QStringLiteral("a"));
  QCOMPARE(doc.contents[0].level, 1);
  QCOMPARE(doc.contents[1].anchor, QStringLiteral("qa"));
  QCOMPARE(doc.contents[1].level, 2);
  QCOMPARE(doc.contents[2].title, QStringLiteral("Deep one"));
  QCOMPARE(doc.contents[2].level, 3);

  QStringList terms;
  for (const HelpIndexEntry &e : doc.index)
    terms << e.term + QLatin1Char('#') + e.anchor;
  QCOMPARE(terms, (QStringList{QStringLiteral("apple#a"), QStringLiteral("Q&A#qa"),
                               QStringLiteral("zebra#z")}));
  for (const char *anchor : {"a", "qa", "z", "inline", "s", "four"})
    QVERIFY2(doc.anchors.contains(QString::fromLatin1(anchor)), anchor);

  // Nothing to show is still a document: no contents, no index, no crash.
  const HelpDocument empty = ParseHelpDocument(QString());
  QVERIFY(empty.contents.empty() && empty.index.empty() && empty.title.isEmpty());
}

// Each of these took the viewer seconds, minutes, or for ever, to lay out.
void HelpDocumentTest::hostileDocumentsAreReadAsBareText() {
  const QByteArray deep = "<h1><a name=\"top\">Top</a></h1>" +
                          QByteArray("<table><tr><td><ul><li>").repeated(40000) +
                          QByteArray("<p>A line of text to scroll past.").repeated(200) +
                          "<h2 id=\"deep\">Deep</h2>down here";
  // Pictures that Qt keeps in one paragraph, joined by line breaks or shown inline.
  const QByteArray joined =
      QByteArray("<img src=\"a.png\"><br>").repeated(8192) +
      QByteArray("<div style=\"display:inline\"><img src=\"b.png\"></div>").repeated(8192) +
      "down here";
  const QByteArray someJoined = QByteArray("<img src=\"a.png\"><br>").repeated(2500) + "down here";
  for (const QByteArray &html : {QByteArray("<h1>x").repeated(160000), deep, joined, someJoined}) {
    const HelpDocument doc = ParseHelpDocument(QString::fromLatin1(html));
    QVERIFY(doc.plain);
    QVERIFY(doc.html.endsWith(html.endsWith("x") ? "x x" : "down here"));
    QVERIFY(!doc.html.contains(QLatin1String("<table"))); // its structure is gone
  }
  const QByteArray amps(1 << 20, '&'); // in the text, a heading and an index entry; none ends
  const HelpDocument doc = ParseHelpDocument(QString::fromLatin1(
      "<h1 id=a>" + amps + "</h1><meta name=index content=\"" + amps + "#a\">"));
  QCOMPARE(doc.html.count(u'&'), amps.size()); // the text alone, whole
  QCOMPARE(doc.contents.at(0).title, QString(256, u'&') + QChar(0x2026));
  QCOMPARE(doc.index.at(0).term, doc.contents.at(0).title);
}

QTEST_APPLESS_MAIN(HelpDocumentTest)
#include "tst_helpdocument.moc"
