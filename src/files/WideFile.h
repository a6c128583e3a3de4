// SPDX-License-Identifier: GPL-3.0-or-later
// Windows: wide (UTF-16) paths all the way to the system, and opening a data
// file that may be anything a player or another program left under its name.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <string>

namespace zanthorix {

// The program passes paths around as UTF-8; the system wants UTF-16.
inline std::wstring Widen(const std::string &utf8) {
  if (utf8.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(std::size_t(size > 0 ? size : 0), L'\0');
  if (size > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), size);
  return wide;
}

inline std::string Narrow(const std::wstring &wide) {
  if (wide.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string utf8(std::size_t(size > 0 ? size : 0), '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), size, nullptr,
                          nullptr);
  return utf8;
}

// Opens an existing file only when it is a plain file on a disk: a folder, a
// device or a pipe is refused (ERROR_ACCESS_DENIED) and never waited for.
// Others may read and write the file meanwhile, and replace it. Returns
// INVALID_HANDLE_VALUE with error set to the system's error code.
inline HANDLE OpenRegularFile(const std::wstring &path, DWORD access, DWORD &error) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error = ::GetLastError();
    return INVALID_HANDLE_VALUE;
  }
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
    error = ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE file =
      ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = ::GetLastError();
    return INVALID_HANDLE_VALUE;
  }
  // Checked again on what was opened: the name may have changed meanwhile.
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::CloseHandle(file);
    error = ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  error = 0;
  return file;
}

// Repeats ReadFile until size bytes have come, the file ends or the system
// reports an error.
inline std::size_t ReadWhole(HANDLE file, void *data, std::size_t size, DWORD &error) {
  std::size_t done = 0;
  error = 0;
  while (done < size) {
    const DWORD chunk = DWORD(std::min<std::size_t>(size - done, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(file, static_cast<char *>(data) + done, chunk, &got, nullptr)) {
      error = ::GetLastError();
      break;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

} // namespace zanthorix
