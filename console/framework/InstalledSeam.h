// The one installed implementation of a seam between the node logic and the
// toolkit layer: what the toolkit installs at start, or else the seam's own
// base, whose answers are those of a console without windows.
#pragma once

namespace zyr::console {

template <typename Seam>
class InstalledSeam {
public:
    Seam& Current() { return installed_ ? *installed_ : default_; }
    void Set(Seam* seam) { installed_ = seam; } // not owned; null restores the default
    void Reset() { installed_ = nullptr; }

private:
    Seam default_;
    Seam* installed_ = nullptr;
};

} // namespace zyr::console
