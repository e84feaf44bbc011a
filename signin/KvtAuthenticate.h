// CKVTAuthenticate: 88 bytes of plain data that programs linking against the
// snap-in module exchange with it. The module's only operation on it is the
// copy assignment, which the module exports; nothing here creates one.
#pragma once

#include <cstddef>

class CKVTAuthenticate {
public:
    CKVTAuthenticate& operator=(const CKVTAuthenticate& other);

private:
    unsigned char data_[88] = {};
};

static_assert(sizeof(CKVTAuthenticate) == 88, "CKVTAuthenticate is 88 bytes");
