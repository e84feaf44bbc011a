// The framework's authentication and authorization components: their class
// identities and interfaces. Methods are numbered after the seven of IUnknown
// and IDispatch, as the framework counts them. Texts are wide and may be null.
#pragma once

#include "platform/com/Unknown.h"

#include <string>
#include <vector>

// {A41D7E30-92C5-4F6B-8D13-5E07C2B9F460}
constexpr CLSID CLSID_KvtAuthenticate = {
    0xA41D7E30, 0x92C5, 0x4F6B, {0x8D, 0x13, 0x5E, 0x07, 0xC2, 0xB9, 0xF4, 0x60}};
// {A41D7E31-92C5-4F6B-8D13-5E07C2B9F460}
constexpr CLSID CLSID_KvtAuthorize = {
    0xA41D7E31, 0x92C5, 0x4F6B, {0x8D, 0x13, 0x5E, 0x07, 0xC2, 0xB9, 0xF4, 0x60}};
// {A41D7E40-92C5-4F6B-8D13-5E07C2B9F460}
constexpr IID IID_IKvtAuthenticate = {
    0xA41D7E40, 0x92C5, 0x4F6B, {0x8D, 0x13, 0x5E, 0x07, 0xC2, 0xB9, 0xF4, 0x60}};
// {A41D7E41-92C5-4F6B-8D13-5E07C2B9F460}
constexpr IID IID_IKvtAuthorize = {
    0xA41D7E41, 0x92C5, 0x4F6B, {0x8D, 0x13, 0x5E, 0x07, 0xC2, 0xB9, 0xF4, 0x60}};

// A VARIANT as the user-roles query fills it: empty (no dimensions) or a
// SAFEARRAY of texts with its dimension count and lower bound.
struct TextArrayVariant {
    unsigned short dimensions = 0;
    LONG lowerBound = 0;
    std::vector<std::u16string> elements;

    void Clear() { *this = TextArrayVariant{}; }
};

struct IKvtAuthenticate : IUnknown {
    static const IID& InterfaceId() { return IID_IKvtAuthenticate; }
    using BaseInterface = IUnknown;
    // Method 1: a success HRESULT when the credentials are valid. Three empty
    // texts accept the account that runs the caller.
    virtual HRESULT Authenticate(const char16_t* domain, const char16_t* userName,
                                 const char16_t* password) = 0;

protected:
    ~IKvtAuthenticate() = default;
};

struct IKvtAuthorize : IUnknown {
    static const IID& InterfaceId() { return IID_IKvtAuthorize; }
    using BaseInterface = IUnknown;
    // Method 2: the account that the checks are about.
    virtual HRESULT SetAccount(const char16_t* domain, const char16_t* userName) = 0;
    // Method 3: reads the cache files again.
    virtual HRESULT Prepare() = 0;
    // Method 5: whether the account holds the permission bit on the object.
    virtual HRESULT HasPermission(const char16_t* objectReference, LONG permission,
                                  VARIANT_BOOL* granted) = 0;
    // Method 9: the account's role names; null texts mean the account that
    // runs the caller. The second list holds the roles' identities.
    virtual HRESULT GetUserRoles(const char16_t* domain, const char16_t* userName,
                                 TextArrayVariant* roleNames, TextArrayVariant* roleIds) = 0;
    // Method 11: "KVT" and the object's identity, or an empty text when the
    // object is not in the security database.
    virtual HRESULT GetObjectReference(const char16_t* applicationName, const char16_t* groupName,
                                       const char16_t* objectName, std::u16string* reference) = 0;

protected:
    ~IKvtAuthorize() = default;
};
