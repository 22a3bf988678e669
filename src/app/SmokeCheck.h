#pragma once

class QApplication;

// A self-check for an installed program, run by the packaging check. Without KESTRUN_SMOKE_EXIT
// nothing of this runs.
//
// KESTRUN_SMOKE_EXIT=MS: once the main window has shown, the program prints one line on standard
// output about what it has loaded, and MS milliseconds later closes the main window, so that it
// ends as when the user closes it:
//   smoke: main window shown user=ID window-icon=ok toolbar-icons=8/8 skin=ok settings=PATH
// (window-icon and skin say "missing" when not loaded; toolbar-icons counts the main window's
// tool buttons whose icon renders, out of those that have one; PATH is where Kestrun.cfg goes.)
//
// KESTRUN_SMOKE_LOGIN=ID:PASSWORD as well: when the login window shows, it is filled in with
// "save id" ticked and sent, so the member login and the saving of the member id run as they do
// for a user.
namespace SmokeCheck {

void InstallIfRequested(QApplication &App);

} // namespace SmokeCheck
