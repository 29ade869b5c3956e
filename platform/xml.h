// A small XML document object model for the program's XML settings files:
// load and save a file, take the root element whatever its name, find the
// first child element by name, append a child, and get and set an element's
// text. Backed by Qt's DOM; nothing outside this file pair sees Qt Xml.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

class XmlDocument;

// A handle to an element of a document (copies refer to the same element).
// A default-constructed handle, or one for a missing element, is null: its
// reads give empty results and its changes do nothing.
class XmlElement {
 public:
  XmlElement();
  ~XmlElement();
  XmlElement(const XmlElement&);
  XmlElement& operator=(const XmlElement&);

  bool IsNull() const;
  std::string Name() const;
  // The element's text (all text inside it, concatenated).
  std::string Text() const;
  // Replaces the element's content by one text node. Characters that XML
  // cannot hold (control characters other than tab, line feed and carriage
  // return) are dropped, so a saved document always loads again. False for a
  // null handle.
  bool SetText(const std::string& text) const;

  // The first child element with that name; null when there is none.
  XmlElement FirstChild(const std::string& name) const;
  // Every child element with that name, in document order.
  std::vector<XmlElement> Children(const std::string& name) const;
  // Appends a new child element; null when this handle is null or the name
  // is not a valid XML name.
  XmlElement AppendChild(const std::string& name) const;
  // Removes a child element; false when it is not a child of this element.
  bool RemoveChild(const XmlElement& child) const;

 private:
  friend class XmlDocument;
  struct Impl;
  explicit XmlElement(std::shared_ptr<Impl> impl);
  std::shared_ptr<Impl> impl_;
};

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Empties the document.
  void Clear();
  bool IsEmpty() const;

  // Replaces the document by the parsed text. On a parse error the document
  // is left empty, false is returned and `error` (when given) says where.
  // External document type definitions are never loaded.
  bool LoadFromText(const std::string& text, std::string* error = nullptr);
  // As LoadFromText, from a regular file (platform/data_file.h: a pipe, a
  // folder or a device is refused unopened). A missing or unreadable file
  // fails the same way, `error` giving the reason and errno set as
  // ReadDataFileBytes sets it. The file itself is only read.
  bool LoadFromFile(const std::string& path, std::string* error = nullptr);

  // The document as text, indented by two blanks per level.
  std::string SaveToText() const;
  // Writes the document through a temporary file and a rename, so a failed
  // save leaves the old file as it was. False on failure, which is told to
  // the user (platform::SaveFile).
  bool SaveToFile(const std::string& path) const;

  // The root element; null for an empty document.
  XmlElement Root() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// True when `name` can be an element name (a letter or "_" first, then
// letters, digits, "_", "-" and "."; ASCII only).
bool IsValidXmlName(const std::string& name);

}  // namespace platform
