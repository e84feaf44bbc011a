// The directory-client identity component: a closed component of the framework
// that names the operator when accounts are directory-client accounts. Only its
// two text-returning calls are used. No implementation ships on Linux; a
// stand-in may register itself under its class identity.
#pragma once

#include "platform/com/Unknown.h"

#include <string>

// {2A79A315-C74F-4599-B27D-F1B54141F550}
constexpr CLSID CLSID_DirectoryClientIdentity = {
    0x2A79A315, 0xC74F, 0x4599, {0xB2, 0x7D, 0xF1, 0xB5, 0x41, 0x41, 0xF5, 0x50}};
// {CEB66B00-8B17-4E36-A9CE-5190BCBFAADE}
constexpr IID IID_IDirectoryClientIdentity = {
    0xCEB66B00, 0x8B17, 0x4E36, {0xA9, 0xCE, 0x51, 0x90, 0xBC, 0xBF, 0xAA, 0xDE}};

struct IDirectoryClientIdentity : IUnknown {
    static const IID& InterfaceId() { return IID_IDirectoryClientIdentity; }
    using BaseInterface = IUnknown;

    // Four calls this system never makes.
    virtual HRESULT Reserved1() = 0;
    virtual HRESULT Reserved2() = 0;
    virtual HRESULT Reserved3() = 0;
    virtual HRESULT Reserved4() = 0;
    // The operator's account name.
    virtual HRESULT GetUserName(std::u16string* name) = 0;
    // The operator's directory context, which stands for the domain.
    virtual HRESULT GetContext(std::u16string* context) = 0;

protected:
    ~IDirectoryClientIdentity() = default;
};
