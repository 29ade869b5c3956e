// The XML settings routines: each window that owns an XML settings file
// ("ObjectOptions.xml", "ImagingSettings.xml", ...) keeps one document,
// loads the file into it at start and saves it when its settings change.
// A settings document is the prolog, the document type line naming
// "sth.dtd", the root element named by the owner, one "Selections" element
// under it, and one child element per value under "Selections".
//
// Readers never report failures: a missing element or a text that does not
// convert gives the caller's default (a missing string reads empty; the
// string default applies only when the parent itself is missing). Writers
// set the text of the first element of that name, appending the element
// only when there is none, so writing a value again updates it in place.
#pragma once

#include <cstdint>
#include <string>

#include "platform/xml.h"

// Empties the document, then builds a new settings document with the prolog,
// the document type line and an empty root element `rootName`. False (and
// the document left empty) when `rootName` is not a valid element name.
bool XmlNewDocument(platform::XmlDocument& doc, const std::string& rootName);

int32_t XmlReadInteger(const platform::XmlElement& parent, const std::string& name, int32_t deflt);
double XmlReadFloat(const platform::XmlElement& parent, const std::string& name, double deflt);
// "-1", "1" or any other non-zero integer, or "True" in any case, read as
// true; "0" or "False" in any case as false; anything else as the default.
bool XmlReadBool(const platform::XmlElement& parent, const std::string& name, bool deflt);
// The text cut to 255 characters.
std::string XmlReadString(const platform::XmlElement& parent, const std::string& name,
                          const std::string& deflt);

// The readers with the range the field takes (platform/value_range.h): a
// number outside [lo, hi] (NaN and infinities included) reads as `deflt`,
// as a missing or unreadable one does.
int32_t XmlReadInteger(const platform::XmlElement& parent, const std::string& name, int32_t deflt, int32_t lo,
                       int32_t hi);
double XmlReadFloat(const platform::XmlElement& parent, const std::string& name, double deflt, double lo,
                    double hi);
// A number kept as the text its window shows (an exposure "0.5", a gain):
// the element's text as XmlReadString gives it when it is a number within
// [lo, hi]; `deflt` when it is missing, empty, no number or outside.
std::string XmlReadNumberText(const platform::XmlElement& parent, const std::string& name,
                              const std::string& deflt, double lo, double hi);

// Writers return false when the parent is null or the name is not a valid
// element name (nothing is written then).
bool XmlWriteInteger(const platform::XmlElement& parent, const std::string& name, int32_t value);
// Shortest general form, at most 15 significant digits, "." as separator.
bool XmlWriteFloat(const platform::XmlElement& parent, const std::string& name, double value);
// "-1" for true, "0" for false.
bool XmlWriteBool(const platform::XmlElement& parent, const std::string& name, bool value);
// The text cut to 255 characters.
bool XmlWriteString(const platform::XmlElement& parent, const std::string& name,
                    const std::string& value);

// The named child of `parent`, created empty at the end when missing (null
// only when `parent` is null or the name is invalid). Owners use it for
// nested groups such as one element per camera.
platform::XmlElement XmlChild(const platform::XmlElement& parent, const std::string& name);

// Loads a settings file into `doc`; true when it was read. A missing file
// (a first start) gives a new document with root `rootName` and says
// nothing. The file is read by its path's own bytes (its folder's name
// need not be UTF-8), and only when it is a regular file. One that is there
// but cannot be read (refused to this user, or a named pipe, a folder or a
// device in its place, never opened) gives the new document and is left
// exactly as it is: the user is told once, in the log and a message box,
// which file, why (the system's "Permission denied", "it is a named pipe,
// not a file") and what to do, and that the defaults are used and the
// file is not written over (XmlSaveSettings refuses it in this run). A
// file that is read but is not well-formed XML (cut short, mistyped, junk,
// empty) gives the new document too, and is kept: moved aside in its
// folder under a name that says so and that no file had
// ("ImagingSettings.damaged-20260110-213000.xml", local time; "-2" and on
// when taken), so that saving the settings never writes over it. The user
// is told once, in the log and a message box, which file could not be
// read and why, where it is kept, and that the defaults are used. A
// damaged file that cannot be moved stays where it is and is never saved
// over in this run (XmlSaveSettings refuses its path).
bool XmlLoadSettingsDocument(platform::XmlDocument& doc, const std::string& path, const std::string& rootName);

// Loads a settings file as XmlLoadSettingsDocument does and returns the
// document's "Selections" element (created when missing). The root element
// may have any name; for a missing or damaged file every read gives its
// default.
platform::XmlElement XmlLoadSettings(platform::XmlDocument& doc, const std::string& path,
                                     const std::string& rootName);

// Saves the document through a temporary file and a rename; false (old file
// intact) on failure, and for a file left in place at its load: a damaged
// one that could not be kept aside, and one that could not be read, whose
// save is told as a save not made (platform::ReportSaveFailure, with why).
bool XmlSaveSettings(const platform::XmlDocument& doc, const std::string& path);
