#pragma once

class TfrmMain;

// A test-automation hook: when KESTRUN_AUTOTEST names a script file, the program drives its own
// windows through it after start-up, as a user would, so that an end-to-end test can run the
// real program in its own process. Without that variable nothing of this runs.
//
// One step per line; blank lines and lines starting with "#" are skipped. Every step waits (up
// to 60 s) until the window or control it names is on screen, visible and enabled, so steps may
// name controls of modal windows that an earlier step opened.
//   folder PATH          shows the folder PATH in the photo grid
//   click NAME [N]       clicks the N-th (from 0) button with object name NAME
//   set NAME VALUE       spin box: the value; drop-down box: the item with that text
//   drag NAME DX DY      drags with the left button from the middle of NAME by DX, DY pixels
//   wait NAME            waits until a control or window NAME is visible
// A step that times out ends the program with exit code 3 and a line on standard error.
namespace AutoTest {

// Starts the script when the variable is set; returns false when it is set but unreadable.
bool StartIfRequested(TfrmMain &Window);

} // namespace AutoTest
