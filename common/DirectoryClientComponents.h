// The directory-client browse and query components: closed components of the
// framework through which the directory-client member page picks an account.
// On Linux they are served by the LDAP modules (zyr_directory_client and
// zyr_directory_browse) registered under the class identities below. Without
// them, creating them fails.
#pragma once

#include "platform/com/Unknown.h"

#include <string>

// {6E1B4C72-2F0D-4A8E-B35C-7D9A1E04F2C1}
constexpr CLSID CLSID_DirectoryClientBrowse = {
    0x6E1B4C72, 0x2F0D, 0x4A8E, {0xB3, 0x5C, 0x7D, 0x9A, 0x1E, 0x04, 0xF2, 0xC1}};
// {6E1B4C73-2F0D-4A8E-B35C-7D9A1E04F2C1}
constexpr IID IID_IDirectoryClientBrowse = {
    0x6E1B4C73, 0x2F0D, 0x4A8E, {0xB3, 0x5C, 0x7D, 0x9A, 0x1E, 0x04, 0xF2, 0xC1}};
// {6E1B4C74-2F0D-4A8E-B35C-7D9A1E04F2C1}
constexpr CLSID CLSID_DirectoryClientQuery = {
    0x6E1B4C74, 0x2F0D, 0x4A8E, {0xB3, 0x5C, 0x7D, 0x9A, 0x1E, 0x04, 0xF2, 0xC1}};
// {6E1B4C75-2F0D-4A8E-B35C-7D9A1E04F2C1}
constexpr IID IID_IDirectoryClientQuery = {
    0x6E1B4C75, 0x2F0D, 0x4A8E, {0xB3, 0x5C, 0x7D, 0x9A, 0x1E, 0x04, 0xF2, 0xC1}};

// The browser: options set by property id, then shown; the chosen name is
// read afterwards (empty when nothing was chosen).
struct IDirectoryClientBrowse : IUnknown {
    static const IID& InterfaceId() { return IID_IDirectoryClientBrowse; }
    using BaseInterface = IUnknown;

    // Property 5: a truth value; properties 8 and 6: numbers.
    virtual HRESULT PutBoolProperty(long dispId, bool value) = 0;
    virtual HRESULT PutLongProperty(long dispId, long value) = 0;
    // Method 10: shows the browser; *result its answer.
    virtual HRESULT Browse(bool* result) = 0;
    // Property 1: the chosen name.
    virtual HRESULT GetName(std::u16string* name) = 0;

protected:
    ~IDirectoryClientBrowse() = default;
};

// What a look-up answers when the directory could not be asked at all (not
// reached, or refused the console's bind): nothing was found or changed.
constexpr HRESULT kDirectoryUnreachable = static_cast<HRESULT>(0x8007203AL);

// The look-up of a name as a user or as a group. A look-up that does not find
// the name answers a failure.
struct IDirectoryClientQuery : IUnknown {
    static const IID& InterfaceId() { return IID_IDirectoryClientQuery; }
    using BaseInterface = IUnknown;

    // Property 1.
    virtual HRESULT PutName(const std::u16string& name) = 0;
    // Method 8 (user) and method 9 (group): the member text of the account
    // found, read through the answer's property 1 and its property 1.
    virtual HRESULT LookupUser(const std::u16string& name, std::u16string* memberText) = 0;
    virtual HRESULT LookupGroup(const std::u16string& name, std::u16string* memberText) = 0;
    // Why the last look-up failed with kDirectoryUnreachable, for the operator.
    virtual HRESULT GetErrorText(std::u16string* text) = 0;

protected:
    ~IDirectoryClientQuery() = default;
};
