#pragma once

// The answers of modal windows (QDialog::exec() results), the same numbers in every window.
namespace ModalResult {
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;
inline constexpr int mrNoToAll = 9;
inline constexpr int mrYesToAll = 10;
} // namespace ModalResult
