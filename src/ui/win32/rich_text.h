// The rich-text controls of the legal dialogs: the library that registers their class,
// their text from string-table fragments or RTF files, and their printout.
#pragma once

#include <windows.h>

#include <string>

namespace zov::win32 {

class Look;

// Loads the rich edit library (from the system folder) once; false when the system has none.
bool loadRichEdit();

// Read-only, the text limit of 5,242,880 characters, the background colour.
void prepareRichText(HWND control, COLORREF background);
// A whole RTF document, streamed in from memory.
void setRichText(HWND control, const std::string& rtf);
// A file streamed in as RTF; false (the control left empty) when it cannot be read.
bool streamRichTextFile(HWND control, const std::string& path);
// The standard print dialog, then one formatted range per page over the printer's whole
// physical page. Quiet when there is no printer, the user cancels or the job fails. A
// control that cannot lay out pages prints its plain text as the cancel summary does.
void printRichText(Look& look, HWND owner, HWND control, const std::string& document);

} // namespace zov::win32
