// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/HelpDocument.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace zanthorix {

namespace {

// What laying out a document costs QTextDocument, in units of about a
// microsecond, measured on Qt 6.4: a character of text costs 1, an element 8;
// everything inside a table costs twice as much per table around it; the k-th
// row of a table, item of a list or picture in a paragraph costs more as k
// grows; every style rule is tried on every element. Pictures are counted
// over the whole document: Qt keeps them in one paragraph across a line
// break, an inline display style and the like. Past the budget, or
// past the nesting limit, the text is shown without its structure. The
// budget is about a second of the viewer's own opening on a loaded machine
// (1,900 pictures joined by line breaks, or a megabyte of text).
constexpr qint64 CostBudget = 1'000'000;
constexpr int MaxDepth = 64;
constexpr int MaxTables = 20;
constexpr int MaxWordLength = 256; // longer words get a break opportunity
constexpr qsizetype MaxTitleLength = 256;
// A character reference ends with a ";" at most this far after its "&"; a
// ";" further on is not looked for, however many "&" come before it.
constexpr qsizetype MaxReferenceLength = 10;
constexpr QChar BreakOpportunity(0x200B);

bool IsOneOf(QStringView name, std::initializer_list<const char *> names) {
  for (const char *n : names)
    if (name == QLatin1String(n)) return true;
  return false;
}

bool IsVoid(QStringView name) {
  return IsOneOf(name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta",
                        "param", "source", "track", "wbr"});
}

bool IsBlock(QStringView name) {
  return IsOneOf(name, {"address", "blockquote", "body",    "br",    "center", "dd",    "div", "dl",
                        "dt",      "h1",         "h2",      "h3",    "h4",     "h5",    "h6",  "hr",
                        "html",    "li",         "ol",      "p",     "pre",    "table", "td",  "th",
                        "tr",      "ul",         "caption", "tbody", "thead",  "tfoot"});
}

// The ";" that ends the character reference begun by the "&" at `amp`, or -1.
qsizetype ReferenceEnd(QStringView text, qsizetype amp) {
  const qsizetype semi =
      text.sliced(amp + 1, std::min(MaxReferenceLength, text.size() - amp - 1)).indexOf(u';');
  return semi < 0 ? -1 : amp + 1 + semi;
}

// Character references; names beyond these stay as written.
QString DecodeEntities(QStringView text) {
  static const std::pair<const char *, char16_t> named[] = {
      {"amp", u'&'},         {"lt", u'<'},         {"gt", u'>'},         {"quot", u'"'},
      {"apos", u'\''},       {"nbsp", u' '},       {"copy", u'\u00A9'},  {"reg", u'\u00AE'},
      {"times", u'\u00D7'},  {"minus", u'\u2212'}, {"ndash", u'\u2013'}, {"mdash", u'\u2014'},
      {"hellip", u'\u2026'}, {"lsquo", u'\u2018'}, {"rsquo", u'\u2019'}, {"ldquo", u'\u201C'},
      {"rdquo", u'\u201D'},  {"trade", u'\u2122'}, {"deg", u'\u00B0'},   {"middot", u'\u00B7'}};
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const qsizetype semi = text[i] == u'&' ? ReferenceEnd(text, i) : -1;
    if (semi > i + 1) {
      const QStringView ref = text.sliced(i + 1, semi - i - 1);
      bool ok = false;
      char32_t code = 0;
      if (ref.startsWith(u'#'))
        code = ref.size() > 1 && (ref[1] == u'x' || ref[1] == u'X') ? ref.sliced(2).toUInt(&ok, 16)
                                                                    : ref.sliced(1).toUInt(&ok);
      for (const auto &[name, value] : named)
        if (!ok && ref == QLatin1String(name)) code = value, ok = true;
      if (ok && code > 0 && code <= 0x10FFFF) {
        out += QString::fromUcs4(&code, 1);
        i = semi;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

QString Capped(const QString &text) {
  return text.size() > MaxTitleLength ? text.left(MaxTitleLength) + QChar(0x2026) : text;
}

QString Escaped(const QString &text) { return text.toHtmlEscaped(); }

class Scanner {
public:
  explicit Scanner(const QString &html) : src_(html) {
    shown_.reserve(html.size());
    plain_.reserve(html.size() / 2);
  }

  HelpDocument Run() {
    const qsizetype n = src_.size();
    while (i_ < n) {
      if (src_[i_] == u'<' && i_ + 1 < n) {
        const QChar next = src_[i_ + 1];
        if (QStringView(src_).sliced(i_).startsWith(u"<!--")) {
          SkipTo(u"-->", 4);
          continue;
        }
        if (next == u'!' || next == u'?') {
          SkipTo(u">", 2);
          continue;
        }
        if (next.isLetter() || (next == u'/' && i_ + 2 < n && src_[i_ + 2].isLetter())) {
          Tag();
          continue;
        }
      }
      Text();
    }
    cost_ += cssRules_ * elements_;
    doc_.plain = overBudget_ || cost_ > CostBudget;
    doc_.html = doc_.plain ? plain_ : shown_;
    doc_.anchors.removeDuplicates();
    std::stable_sort(doc_.index.begin(), doc_.index.end(), [](const auto &a, const auto &b) {
      return a.term.compare(b.term, Qt::CaseInsensitive) < 0;
    });
    return std::move(doc_);
  }

private:
  struct Open {
    QString name;
    qint64 count = 0; // rows of a table, items of a list
  };

  // What a tag says that the viewer uses; the rest only passes through.
  struct Attributes {
    QString id;
    QString name; // an anchor on <a>, what a <meta> is
    QString content;
  };

  qint64 Factor() const { return qint64(1) << std::min(tables_, 40); }

  void SkipTo(QStringView end, qsizetype from) {
    const qsizetype at = src_.indexOf(end, i_ + from);
    const qsizetype stop = at < 0 ? src_.size() : at + end.size();
    shown_ += QStringView(src_).sliced(i_, stop - i_);
    i_ = stop;
  }

  // Moves past the characters that match and returns them.
  template <typename Match> QStringView Take(Match match) {
    const qsizetype from = i_;
    while (i_ < src_.size() && match(src_[i_]))
      ++i_;
    return QStringView(src_).sliced(from, i_ - from);
  }

  void SkipSpaces() {
    Take([](QChar c) { return c.isSpace(); });
  }

  void Text() {
    const QChar c = src_[i_];
    qsizetype length = 1;
    if (c == u'&') { // a character reference is one character
      const qsizetype semi = ReferenceEnd(src_, i_);
      if (semi > i_) length = semi - i_ + 1;
    }
    const QStringView piece = QStringView(src_).sliced(i_, length);
    i_ += length;
    cost_ += Factor();
    if (c.isSpace()) {
      word_ = 0;
    } else if (++word_ > MaxWordLength) {
      word_ = 1;
      shown_ += BreakOpportunity;
      plain_ += BreakOpportunity;
    }
    shown_ += piece;
    plain_ += c == u'<' ? QStringView(u"&lt;") : c == u'>' ? QStringView(u"&gt;") : piece;
    ++textSinceBreak_;
    if (headingLevel_) headingText_ += piece;
  }

  // A start or end tag; one without its closing ">" ends the document.
  void Tag() {
    const qsizetype start = i_;
    const bool end = src_[i_ + 1] == u'/';
    i_ += end ? 2 : 1;
    const QString name = Take([](QChar c) { return c.isLetterOrNumber(); }).toString().toLower();
    const Attributes attributes = ReadAttributes();
    if (i_ >= src_.size()) return; // never closed: dropped
    ++i_;
    shown_ += QStringView(src_).sliced(start, i_ - start);
    if (end)
      EndTag(name);
    else
      StartTag(name, attributes);
  }

  // Up to the tag's ">", or to the end of the document.
  Attributes ReadAttributes() {
    Attributes attributes;
    while (i_ < src_.size() && src_[i_] != u'>') {
      if (src_[i_].isSpace() || src_[i_] == u'/') {
        ++i_;
        continue;
      }
      const QString attribute =
          Take([](QChar c) { return !c.isSpace() && c != u'=' && c != u'>'; }).toString().toLower();
      SkipSpaces();
      if (i_ >= src_.size() || src_[i_] != u'=') continue;
      ++i_;
      SkipSpaces();
      const QStringView value = AttributeValue();
      if (attribute == u"id")
        attributes.id = DecodeEntities(value).trimmed();
      else if (attribute == u"name")
        attributes.name = DecodeEntities(value).trimmed();
      else if (attribute == u"content")
        attributes.content = DecodeEntities(value);
    }
    return attributes;
  }

  // Quoted up to the same quote, or bare up to a space or the tag's end.
  QStringView AttributeValue() {
    if (i_ < src_.size() && (src_[i_] == u'"' || src_[i_] == u'\'')) {
      const QChar quote = src_[i_++];
      const QStringView value = Take([quote](QChar c) { return c != quote; });
      if (i_ < src_.size()) ++i_;
      return value;
    }
    return Take([](QChar c) { return !c.isSpace() && c != u'>'; });
  }

  void StartTag(const QString &name, const Attributes &attributes) {
    if (name.size() == 2 && name[0] == u'h' && name[1] >= u'1' && name[1] <= u'3')
      BeginHeading(name[1].digitValue()); // an open one is dropped
    const QString anchorName = name == u"a" ? attributes.name : QString();
    if (!attributes.id.isEmpty()) Anchor(attributes.id);
    if (!anchorName.isEmpty()) Anchor(anchorName);
    if (headingLevel_ && heading_.anchor.isEmpty())
      heading_.anchor = attributes.id.isEmpty() ? anchorName : attributes.id;
    if (name == u"meta" && attributes.name.compare(u"index", Qt::CaseInsensitive) == 0)
      IndexEntry(attributes.content);
    Element(name);
  }

  void BeginHeading(int level) {
    headingLevel_ = level;
    heading_ = {QString(), QString(), level};
    headingText_.clear();
  }

  void EndHeading() {
    heading_.title = Capped(DecodeEntities(headingText_).simplified());
    if (!heading_.anchor.isEmpty()) doc_.contents.push_back(heading_);
    headingLevel_ = 0;
  }

  void Anchor(const QString &anchor) {
    doc_.anchors << anchor;
    plain_ += QStringLiteral("<a name=\"%1\"></a>").arg(Escaped(anchor));
  }

  // "Term#anchor", split at its last "#".
  void IndexEntry(const QString &content) {
    const qsizetype hash = content.lastIndexOf(u'#');
    if (hash > 0 && hash < content.size() - 1)
      doc_.index.push_back({Capped(content.left(hash).trimmed()), content.mid(hash + 1).trimmed()});
  }

  void Break() {
    word_ = 0;
    // Short pieces share a paragraph: a paragraph costs as much as 80 characters.
    if (textSinceBreak_ >= 80) {
      plain_ += QStringLiteral("<p>");
      textSinceBreak_ = 0;
    } else if (textSinceBreak_ > 0) {
      plain_ += u' ';
    }
  }

  // What an element costs, whatever it holds.
  void Element(const QString &name) {
    ++elements_;
    cost_ += 8 * Factor();
    if (IsBlock(name)) Break();
    if (name == u"img") cost_ += ++objects_ * Factor() / 2;
    if (name == u"br" && headingLevel_) headingText_ += u' ';
    if (IsOneOf(name, {"style", "script", "title"}))
      RawText(name);
    else if (!IsVoid(name) && !overBudget_)
      Nest(name);
  }

  // Their content is not markup; a style sheet is weighed by its rules.
  void RawText(const QString &name) {
    const qsizetype close = src_.indexOf(QStringLiteral("</") + name, i_, Qt::CaseInsensitive);
    const qsizetype stop = close < 0 ? src_.size() : close;
    const QStringView content = QStringView(src_).sliced(i_, stop - i_);
    if (name == u"style") cssRules_ += content.count(u'{');
    if (name == u"title" && !titleSeen_) {
      titleSeen_ = true;
      doc_.title = Capped(DecodeEntities(content).simplified());
    }
    shown_ += content;
    i_ = stop;
  }

  // An element that holds others, while within the limits.
  void Nest(const QString &name) {
    CloseImplied(name);
    if (name == u"li" || name == u"tr") CountItem();
    if (name == u"td" || name == u"th") cost_ += 32 * Factor();
    stack_.push_back({name});
    if (name == u"table") ++tables_;
    if (int(stack_.size()) > MaxDepth || tables_ > MaxTables) overBudget_ = true;
  }

  // Which open elements a new one closes, as Qt's reader does.
  void CloseImplied(const QString &name) {
    if (name == u"p") {
      qsizetype block = stack_.size() - 1;
      while (block >= 0 && !IsBlock(stack_[block].name))
        --block;
      if (block >= 0 && stack_[block].name == u"p") PopTo(block);
    }
    if (name == u"li" && !stack_.empty() && stack_.back().name == u"li") PopTo(stack_.size() - 1);
    if (name == u"td" || name == u"th") PopUntilInside({"tr"});
    if (name == u"tr") PopUntilInside({"table", "thead", "tbody", "tfoot"});
  }

  // The k-th item of a list, or row of a table, costs about k/8.
  void CountItem() {
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
      if (IsOneOf(it->name, {"ul", "ol", "table"})) {
        cost_ += ++it->count / 8 * Factor();
        return;
      }
    }
  }

  void EndTag(const QString &name) {
    if (IsBlock(name)) Break();
    if (headingLevel_ && name.size() == 2 && name[0] == u'h' &&
        name[1].digitValue() == headingLevel_)
      EndHeading();
    if (overBudget_) return;
    for (qsizetype at = stack_.size() - 1; at >= 0; --at) {
      if (stack_[at].name == name) {
        PopTo(at);
        return;
      }
    }
  }

  void PopUntilInside(std::initializer_list<const char *> parents) {
    qsizetype at = stack_.size() - 1;
    while (at >= 0 && !IsOneOf(stack_[at].name, parents))
      --at;
    if (at >= 0) PopTo(at + 1);
  }

  void PopTo(qsizetype size) {
    while (qsizetype(stack_.size()) > size) {
      if (stack_.back().name == u"table") --tables_;
      stack_.pop_back();
    }
  }

  const QString &src_;
  qsizetype i_ = 0;
  HelpDocument doc_;
  QString shown_;           // the document, with break opportunities in long words
  QString plain_;           // its text and anchors only
  std::vector<Open> stack_; // open elements, while within the limits
  int tables_ = 0;
  qint64 cost_ = 0;
  qint64 elements_ = 0;
  qint64 cssRules_ = 0;
  qint64 objects_ = 0; // pictures so far
  int word_ = 0;       // characters since the last space
  qint64 textSinceBreak_ = 0;
  bool overBudget_ = false;
  bool titleSeen_ = false;
  int headingLevel_ = 0;
  HelpTopic heading_;
  QString headingText_;
};

} // namespace

HelpDocument ParseHelpDocument(const QString &html) { return Scanner(html).Run(); }

} // namespace zanthorix
