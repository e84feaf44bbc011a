// Reference-counted interfaces in the COM shape: IUnknown, IClassFactory, a
// base that implements IUnknown for a class, and a smart pointer.
//
// An interface is an abstract class deriving from IUnknown (directly or through
// another interface) that names its identity with a static InterfaceId(); an
// interface extending another one names it as BaseInterface so that
// QueryInterface also answers for the base.
#pragma once

#include "platform/com/Guid.h"

#include <atomic>
#include <utility>

// {00000000-0000-0000-C000-000000000046}
constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {00000001-0000-0000-C000-000000000046}
constexpr IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
    static const IID& InterfaceId() { return IID_IUnknown; }

    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    // Objects are destroyed by their last Release, never through an interface.
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    static const IID& InterfaceId() { return IID_IClassFactory; }
    using BaseInterface = IUnknown;

    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

namespace zyr::com {

namespace detail {

template <typename I>
bool MatchesInterface(const IID& iid)
{
    if (iid == I::InterfaceId()) {
        return true;
    }
    if constexpr (requires { typename I::BaseInterface; }) {
        return MatchesInterface<typename I::BaseInterface>(iid);
    }
    return false;
}

} // namespace detail

// Implements IUnknown for a class that implements the given interfaces:
//
//   class CThing : public zyr::com::ComObject<IThing, IOther> { ... };
//   IThing* thing = new CThing;  // count 1, owned by the caller
//
// Objects start with a count of one and delete themselves when it drops to zero.
template <typename First, typename... Rest>
class ComObject : public First, public Rest... {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (iid == IID_IUnknown || detail::MatchesInterface<First>(iid)) {
            *object = static_cast<First*>(this);
        } else {
            (void)((detail::MatchesInterface<Rest>(iid) ? (*object = static_cast<Rest*>(this), true)
                                                        : false) ||
                   ...);
        }
        if (*object == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++count_; }
    ULONG Release() override
    {
        ULONG left = --count_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

private:
    std::atomic<ULONG> count_{1};
};

// Holds one reference to an interface.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already owns.
    static ComPtr Attach(T* raw)
    {
        ComPtr p;
        p.raw_ = raw;
        return p;
    }
    // Adds a reference of its own.
    static ComPtr Share(T* raw)
    {
        if (raw != nullptr) {
            raw->AddRef();
        }
        return Attach(raw);
    }
    ComPtr(const ComPtr& other) : raw_(other.raw_)
    {
        if (raw_ != nullptr) {
            raw_->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : raw_(std::exchange(other.raw_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(raw_, other.raw_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset()
    {
        if (raw_ != nullptr) {
            std::exchange(raw_, nullptr)->Release();
        }
    }
    T* Detach() { return std::exchange(raw_, nullptr); }
    T* get() const { return raw_; }
    T* operator->() const { return raw_; }
    explicit operator bool() const { return raw_ != nullptr; }
    // For out-parameters: releases what is held and gives the slot.
    T** Put()
    {
        Reset();
        return &raw_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    // QueryInterface for another interface; empty when not supported.
    template <typename U>
    ComPtr<U> As() const
    {
        ComPtr<U> out;
        if (raw_ != nullptr) {
            raw_->QueryInterface(U::InterfaceId(), out.PutVoid());
        }
        return out;
    }

private:
    T* raw_ = nullptr;
};

} // namespace zyr::com
