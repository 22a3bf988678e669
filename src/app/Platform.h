#pragma once

// The few questions about the operating system that the program asks, in one place.

// True when the program runs with administrator rights (root on Unix), under which the web
// engine refuses its sandbox.
bool RunningAsAdministrator();
