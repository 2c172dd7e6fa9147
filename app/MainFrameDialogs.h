// The main frame's modal dialogs that the comms worker hands over to.
#pragma once

class CMainFrame;
class CSystem;

// UI thread, all of them.
// The autoscan progress dialog, modal; it hands itself to the worker and closes when the
// scan has ended.
void RunAutoscanDialog(CMainFrame& frame, CSystem& system);
// The security dialog of a get (caption "Checking Security...") or set pass (caption
// "Updating Security..."), modal; it hands itself to the worker and closes when the pass ends.
void RunSecurityDialog(CMainFrame& frame, CSystem& system, const char* caption);
