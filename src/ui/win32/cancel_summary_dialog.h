// The cancel summary (CCancelSummaryDlg, template 200) with its Save As and its plain-text
// printout, and the printing-status dialog (template 213) with the job's abort procedure.
#pragma once

#include "run/context.h"

#include <windows.h>

#include <commdlg.h>

#include <string>

namespace zov::win32 {

class Look;

// Modal over the owner until Exit (or Close).
void showCancelSummary(Look& look, RunContext& run, HWND owner);

// The print dialog, then the text page by page with the document name at the top of each
// page and the footer ("Page %d") at the bottom. 1 when the printout was cancelled or failed
// after it started, 0 otherwise (also when there is no printer or the user cancels the
// print dialog). A job that does not start shows string 211.
int printPlainTextDocument(Look& look, HWND owner, const std::string& text);
// The same printout on the printer a print dialog returned (its device context, not freed).
int printPlainTextOn(Look& look, HWND owner, const PRINTDLGA& pd, const std::string& text,
                     const std::string& document);

} // namespace zov::win32
