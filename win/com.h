// COM on a thread, and move-only owners of what COM calls hand out:
// interface pointers, BSTRs and VARIANTs. oleaut32, which frees the last two, is mapped from the system
// folder when first needed, never imported.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>

namespace win {

// COM, apartment-threaded and without OLE 1.0's DDE (as the shell's execute
// calls ask), on the calling thread while this object lives: the shell's open
// action needs it on every thread that calls it, and the firewall's and the
// network list's objects live in it. Held by the start-up steps of both
// programs and by every worker thread we start.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** out() {
        reset();
        return &p_;
    }
    template <class U>
    ComPtr<U> As() const {
        ComPtr<U> other;
        if (p_) p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(other.out()));
        return other;
    }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// An in-process object of class `kind`; null when it cannot be made, with
// the reason in `*result` when asked.
template <class T>
ComPtr<T> Create(REFCLSID kind, HRESULT* result = nullptr) {
    ComPtr<T> object;
    const HRESULT made = CoCreateInstance(kind, nullptr, CLSCTX_INPROC_SERVER, __uuidof(T),
                                          reinterpret_cast<void**>(object.out()));
    if (result) *result = made;
    return object;
}

class Bstr {
public:
    Bstr() = default;
    // A copy of `text`; null when it cannot be made.
    explicit Bstr(const wchar_t* text);
    ~Bstr();
    Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
    Bstr& operator=(Bstr&&) = delete;
    Bstr(const Bstr&) = delete;
    BSTR* out() { return &b_; }
    BSTR bstr() const { return b_; }
    // The text; empty for a null BSTR, which COM allows for "".
    const wchar_t* get() const { return b_ ? b_ : L""; }

private:
    BSTR b_ = nullptr;
};

class Variant {
public:
    Variant() { v_.vt = VT_EMPTY; }
    ~Variant() { Clear(); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* out() {
        Clear();
        return &v_;
    }
    IDispatch* dispatch() const { return v_.vt == VT_DISPATCH ? v_.pdispVal : nullptr; }
    bool empty() const { return v_.vt == VT_EMPTY || v_.vt == VT_NULL; }

private:
    void Clear();

    VARIANT v_;
};

}  // namespace win
