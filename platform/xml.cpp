#include "platform/xml.h"

#include <QDomDocument>
#include <QDomElement>
#include <QTextStream>
#include <cerrno>

#include "platform/data_file.h"
#include "platform/paths.h"

namespace platform {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Drops the characters XML 1.0 cannot carry in text.
QString XmlSafeText(const QString& in) {
  QString out;
  out.reserve(in.size());
  for (qsizetype i = 0; i < in.size(); ++i) {
    const QChar c = in[i];
    const char16_t u = c.unicode();
    if (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) continue;
    if (u == 0xFFFE || u == 0xFFFF) continue;
    if (c.isHighSurrogate()) {
      if (i + 1 < in.size() && in[i + 1].isLowSurrogate()) {
        out += c;
        out += in[++i];
      }
      continue;
    }
    if (c.isLowSurrogate()) continue;
    out += c;
  }
  return out;
}

// The characters of a text, surrogate pairs joined; false at once when
// `ok` refuses one (given the code point and whether it comes first) or a
// surrogate has no partner.
template <typename F>
bool EveryCodePoint(const QString& s, F ok) {
  for (qsizetype i = 0; i < s.size(); ++i) {
    const qsizetype first = i;
    char32_t c = s[i].unicode();
    if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
      c = QChar::surrogateToUcs4(s[i], s[i + 1]), ++i;
    else if (s[i].isSurrogate())
      return false;
    if (!ok(c, first == 0)) return false;
  }
  return true;
}

// The Name production of XML 1.0 (fifth edition, section 2.3).
bool IsXmlNameText(const QString& name) {
  const auto start = [](char32_t c) {
    return c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
  };
  return !name.isEmpty() && EveryCodePoint(name, [&](char32_t c, bool first) {
    return start(c) || (!first && (c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
                                   (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040)));
  });
}

}  // namespace

bool IsValidXmlName(const std::string& name) {
  if (name.empty()) return false;
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!letter(name[0])) return false;
  for (char c : name)
    if (!(letter(c) || (c >= '0' && c <= '9') || c == '-' || c == '.')) return false;
  return true;
}

// --- XmlElement -----------------------------------------------------------------

struct XmlElement::Impl {
  QDomElement element;
};

XmlElement::XmlElement() = default;
XmlElement::~XmlElement() = default;
XmlElement::XmlElement(const XmlElement&) = default;
XmlElement& XmlElement::operator=(const XmlElement&) = default;
XmlElement::XmlElement(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

namespace {

// A handle for a DOM element, null when the element is null.
template <typename Impl>
std::shared_ptr<Impl> Wrap(const QDomElement& e) {
  if (e.isNull()) return nullptr;
  return std::make_shared<Impl>(Impl{e});
}

}  // namespace

bool XmlElement::IsNull() const { return !impl_ || impl_->element.isNull(); }

std::string XmlElement::Name() const { return IsNull() ? std::string() : impl_->element.tagName().toStdString(); }

std::string XmlElement::Text() const { return IsNull() ? std::string() : impl_->element.text().toStdString(); }

bool XmlElement::SetText(const std::string& text) const {
  if (IsNull()) return false;
  QDomElement& e = impl_->element;
  while (!e.firstChild().isNull()) e.removeChild(e.firstChild());
  const QString safe = XmlSafeText(Q(text));
  if (!safe.isEmpty()) e.appendChild(e.ownerDocument().createTextNode(safe));
  return true;
}

XmlElement XmlElement::FirstChild(const std::string& name) const {
  if (IsNull()) return XmlElement();
  return XmlElement(Wrap<Impl>(impl_->element.firstChildElement(Q(name))));
}

std::vector<XmlElement> XmlElement::Children(const std::string& name) const {
  std::vector<XmlElement> out;
  if (IsNull()) return out;
  const QString n = Q(name);
  for (QDomElement e = impl_->element.firstChildElement(n); !e.isNull(); e = e.nextSiblingElement(n))
    out.push_back(XmlElement(Wrap<Impl>(e)));
  return out;
}

XmlElement XmlElement::AppendChild(const std::string& name) const {
  if (IsNull() || !IsValidXmlName(name)) return XmlElement();
  QDomElement child = impl_->element.ownerDocument().createElement(Q(name));
  impl_->element.appendChild(child);
  return XmlElement(Wrap<Impl>(child));
}

bool XmlElement::RemoveChild(const XmlElement& child) const {
  if (IsNull() || child.IsNull() || child.impl_->element.parentNode() != impl_->element) return false;
  return !impl_->element.removeChild(child.impl_->element).isNull();
}

// --- XmlDocument ----------------------------------------------------------------

struct XmlDocument::Impl {
  QDomDocument doc;
};

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>()) {}
XmlDocument::~XmlDocument() = default;

void XmlDocument::Clear() { impl_->doc = QDomDocument(); }

bool XmlDocument::IsEmpty() const { return impl_->doc.documentElement().isNull(); }

namespace {

bool Parse(QDomDocument& doc, const QByteArray& bytes, std::string* error) {
  QString message;
  int line = 0;
  int column = 0;
  QDomDocument parsed;
  if (!parsed.setContent(bytes, false, &message, &line, &column) || parsed.documentElement().isNull()) {
    doc = QDomDocument();
    if (error) {
      if (message.endsWith(QLatin1Char('.'))) message.chop(1);
      *error = message.isEmpty() ? std::string("no root element")
                                 : message.toStdString() + " at line " + std::to_string(line) +
                                       ", column " + std::to_string(column);
    }
    return false;
  }
  doc = parsed;
  return true;
}

}  // namespace

bool XmlDocument::LoadFromText(const std::string& text, std::string* error) {
  return Parse(impl_->doc, QByteArray(text.data(), qsizetype(text.size())), error);
}

bool XmlDocument::LoadFromFile(const std::string& path, std::string* error) {
  // The path's own bytes (a folder name need not be UTF-8), and only a
  // regular file: a pipe in its place would hold the reader for ever.
  const std::optional<std::vector<uint8_t>> bytes = ReadDataFileBytes(path, error);
  if (!bytes) {
    const int err = errno;
    impl_->doc = QDomDocument();
    errno = err;
    return false;
  }
  return Parse(impl_->doc, QByteArray(reinterpret_cast<const char*>(bytes->data()), qsizetype(bytes->size())), error);
}

namespace {

// The settings-file layout: the prolog, the document type line when the
// document has one, then the root element indented by two blanks per level.
// Whatever encoding the loaded file declared, the text is written as UTF-8
// under a declaration that says so, so a saved file always loads again.
QByteArray Serialize(const QDomDocument& doc) {
  const QDomElement root = doc.documentElement();
  if (root.isNull()) return {};
  QString out;
  QTextStream ts(&out);
  ts << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n";
  const QDomDocumentType type = doc.doctype();
  if (!type.isNull() && !type.name().isEmpty()) {
    // The name of a UTF-7 file's document type may decode to what no XML
    // name holds (a NUL, half a surrogate pair), which the reader let pass
    // there but refuses in the saved file: the root element's name, which a
    // document type names anyway, stands in for it.
    ts << "<!DOCTYPE " << (IsXmlNameText(type.name()) ? type.name() : root.tagName());
    // The system identifier in the quotes it allows; one holding both kinds
    // of quote, or a character XML cannot carry, is left out.
    const QString id = type.systemId();
    if (!id.isEmpty() && XmlSafeText(id) == id) {
      if (!id.contains('"')) ts << " SYSTEM \"" << id << "\"";
      else if (!id.contains('\'')) ts << " SYSTEM '" << id << "'";
    }
    ts << ">\n";
  }
  ts.flush();
  // The element tree alone, written from a document that holds nothing else.
  // An empty root keeps its opening and closing tag on lines of their own.
  QDomDocument body;
  QDomNode copy = body.appendChild(body.importNode(root, true));
  if (!copy.hasChildNodes()) copy.appendChild(body.createTextNode("\n"));
  return out.toUtf8() + body.toByteArray(2);
}

}  // namespace

std::string XmlDocument::SaveToText() const { return Serialize(impl_->doc).toStdString(); }

bool XmlDocument::SaveToFile(const std::string& path) const {
  const QByteArray bytes = Serialize(impl_->doc);
  return SaveFile(path, bytes.constData(), std::size_t(bytes.size()));
}

XmlElement XmlDocument::Root() const {
  return XmlElement(Wrap<XmlElement::Impl>(impl_->doc.documentElement()));
}

}  // namespace platform
