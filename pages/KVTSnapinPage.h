// The root's property page (dialog 105): the security server the console
// talks to, and the one-way switch of the compliance features. The switch is
// offered only after a sign-in, only while the server reports it off, and
// only on the machine that is the security server.
#pragma once

#include "pages/SnapInPropertyPageImpl.h"

#include <string>

class QCheckBox;
class QLabel;

class CKVTSnapinPage : public CSnapInPropertyPageImpl<CKVTSnapinPage> {
public:
    static constexpr int IDD = 105;
    static constexpr const char* kRegistryErrorText = "Error : Registry entry is not found";

    explicit CKVTSnapinPage(LONG_PTR notifyHandle, std::u16string title = u"ZYR Security Manager");

    QWidget* CreatePage(QWidget* parent);
    // WM_INITDIALOG: the server host in 327 and the state of check box 388.
    BOOL OnInitDialog();
    // PSN_APPLY: TRUE when the page may close; FALSE keeps the sheet open.
    BOOL Apply();

    QCheckBox* ComplianceBox() const { return compliance_; }
    QLabel* HostLabel() const { return host_; }

private:
    QCheckBox* compliance_ = nullptr;
    QLabel* host_ = nullptr;
};

namespace zyr::pages {

// The host part of a server URL as the page shows it: the text after the
// scheme's "//" (after the first seven characters when there is none) up to
// the next "/", at most 255 characters.
std::string ServerHostText(std::string_view url);

// False when hostText names another machine than computerName, as far as the
// name service tells: the same name, the name the computer's address resolves
// back to, that address itself, or a loopback address name this machine. A
// port after the host is not part of the comparison.
bool IsServerOnThisMachine(const std::string& hostText, const std::string& computerName);

} // namespace zyr::pages
