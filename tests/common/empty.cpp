// Keeps the test-support library non-empty before any shared helper exists.
