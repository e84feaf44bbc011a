// Creating objects by class identity: classes registered in the process, and
// classes registered under HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 whose
// shared object exports DllGetClassObject. ProgIDs resolve through
// HKEY_CLASSES_ROOT\<ProgID>\CLSID, following CurVer.
#pragma once

#include "platform/com/Unknown.h"

#include <functional>
#include <string>
#include <string_view>

// Class contexts; objects are always created in process.
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_ALL =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// The entry point a module exports with C linkage as "DllGetClassObject".
extern "C" {
using DllGetClassObjectFunction = HRESULT (*)(const CLSID& clsid, const IID& iid, void** object);
}

// Creates an object of the class and asks it for iid. Answers REGDB_E_CLASSNOTREG
// when the class is neither in the process table nor in the registry,
// CLASS_E_CLASSNOTAVAILABLE when its module cannot be loaded or does not offer
// the class, CLASS_E_NOAGGREGATION for an outer object.
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, DWORD context, const IID& iid, void** object);
// The class factory (or another interface of the class object).
HRESULT CoGetClassObject(const CLSID& clsid, DWORD context, const IID& iid, void** object);
// CO_E_CLASSSTRING when the ProgID is not registered or names no valid CLSID.
HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid);
HRESULT CLSIDFromProgIDA(const char* progId, CLSID* clsid);
// The braced text form; CO_E_CLASSSTRING when malformed.
HRESULT CLSIDFromString(const char16_t* text, CLSID* clsid);

namespace zyr::com {

// Registers a class object for the process; it takes a reference of its own.
// A later registration of the same CLSID replaces the earlier one.
HRESULT RegisterClassObject(const CLSID& clsid, IUnknown* classObject);
// Registers a class by a function that creates an instance and answers iid.
using InstanceMaker = std::function<HRESULT(const IID& iid, void** object)>;
HRESULT RegisterClass(const CLSID& clsid, InstanceMaker maker);
void RevokeClassObject(const CLSID& clsid);

// The path of the shared object that holds address, as the loader knows it;
// empty when unknown. A module passes the address of one of its own functions.
std::string ModulePathOf(const void* address);
// Registers an in-process class for CoCreateInstance and CLSIDFromProgID:
// HKCR\CLSID\{clsid}\InprocServer32 = modulePath, HKCR\CLSID\{clsid}\ProgID =
// progId and HKCR\<progId>\CLSID = {clsid}. False when a key cannot be written.
bool RegisterInprocClass(const CLSID& clsid, const char* progId, const std::string& modulePath);

// Forgets the registered classes and the handles of loaded modules (the
// modules stay mapped, as objects of theirs may still be alive).
void ResetClassTable();

// Loads a module (dlopen) and asks its DllGetClassObject for the class.
HRESULT GetClassObjectFromModule(std::string_view path, const CLSID& clsid, const IID& iid, void** object);

} // namespace zyr::com
