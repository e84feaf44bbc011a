// Where the test wrappers for the name service and PAM are installed, found as
// the system finds them: pkg-config first, then the dynamic loader's search.
#pragma once

#include <string>

namespace zyr::test {

// The outcome of a search: a path, or why there is none. installed is true
// when the system knows the package, so a missing path is a fault, not a skip.
struct WrapperPath {
    std::string path;
    bool installed = false;
    std::string problem;
};

// libnss_wrapper.so
WrapperPath NssWrapperLibrary();
// pam_matrix.so, from the folder of pam_wrapper's modules.
WrapperPath PamMatrixModule();

} // namespace zyr::test
