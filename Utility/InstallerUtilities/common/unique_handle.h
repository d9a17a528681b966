// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <utility>

// The one owner of a platform handle, whatever its type and its close function:
// a kernel HANDLE with CloseHandle, an installer MSIHANDLE (an integer, which
// std::unique_ptr cannot hold) with MsiCloseHandle. Closes on every path out
// of its scope; Empty, the type's zero, is never closed.
template <typename Handle, auto Close, Handle Empty = Handle{}>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    [[nodiscard]] Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Empty; }

    // Hands the handle over to a new owner, which closes it from then on.
    [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, Empty); }

    void reset(Handle handle = Empty) noexcept
    {
        const Handle old = std::exchange(handle_, handle);
        if (old != Empty)
            static_cast<void>(Close(old));
    }

private:
    Handle handle_ = Empty;
};
