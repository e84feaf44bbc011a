#include "pages/KVTSnapinPage.h"

#include "audit/AuditEvents.h"
#include "audit/ComplianceActivation.h"
#include "audit/ComplianceFlag.h"
#include "common/ServerSettings.h"
#include "common/StringTable.h"
#include "console/framework/StartupHooks.h"
#include "pages/QtText.h"
#include "platform/registry/RegKey.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <exception>

namespace {

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr DWORD kUrlCapacity = 256;
constexpr size_t kHostCapacity = 255;

QLabel* WrappedText(const char* text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

bool IsLoopback(const std::string& host)
{
    if (zyr::text::EqualsNoCase(host, "localhost")) {
        return true;
    }
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    std::string bare = host;
    if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') {
        bare = bare.substr(1, bare.size() - 2);
    }
    in6_addr v6{};
    return inet_pton(AF_INET6, bare.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

// The host without a ":port" after it ("[::1]:80" keeps its brackets).
std::string WithoutPort(const std::string& host)
{
    size_t colon = host.rfind(':');
    if (colon == std::string::npos) {
        return host;
    }
    if (host.front() == '[') {
        size_t close = host.find(']');
        return close != std::string::npos && close < colon ? host.substr(0, close + 1) : host;
    }
    return host.find(':') == colon ? host.substr(0, colon) : host;
}

} // namespace

namespace zyr::pages {

std::string ServerHostText(std::string_view url)
{
    size_t start = 7;
    size_t scheme = url.find("://");
    if (scheme != std::string_view::npos) {
        start = scheme + 3;
    }
    if (start >= url.size()) {
        return {};
    }
    std::string_view host = url.substr(start);
    host = host.substr(0, host.find('/'));
    return std::string(host.substr(0, kHostCapacity));
}

bool IsServerOnThisMachine(const std::string& hostText, const std::string& computerName)
{
    if (hostText == computerName) {
        return true;
    }
    std::string host = WithoutPort(hostText);
    if (host == computerName || IsLoopback(host)) {
        return true;
    }
    if (host.find('.') == std::string::npos) {
        // A short name that is not the computer's: the name service is not
        // asked, as for a name without a domain nothing better is known.
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(computerName.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        // The computer's own address is unknown: another machine cannot be
        // ruled out.
        return false;
    }
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address->sin_addr, dotted, sizeof dotted);
    char name[NI_MAXHOST] = {};
    int named = getnameinfo(found->ai_addr, found->ai_addrlen, name, sizeof name, nullptr, 0, NI_NAMEREQD);
    freeaddrinfo(found);
    if (host == dotted) {
        return true;
    }
    return named == 0 && zyr::text::EqualsNoCase(host, name);
}

} // namespace zyr::pages

CKVTSnapinPage::CKVTSnapinPage(LONG_PTR notifyHandle, std::u16string title)
    : CSnapInPropertyPageImpl<CKVTSnapinPage>(std::move(title), notifyHandle)
{
}

QWidget* CKVTSnapinPage::CreatePage(QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName(QString::number(IDD));
    auto* layout = new QVBoxLayout(page);

    auto* server = new QHBoxLayout;
    server->addWidget(new QLabel("Framework Server"));
    host_ = new QLabel;
    host_->setObjectName("327");
    server->addWidget(host_, 1);
    layout->addLayout(server);

    compliance_ = new QCheckBox("Activate the compliance features for Morvel Framework Security");
    compliance_->setObjectName("388");
    layout->addWidget(compliance_);

    auto* warning = new QHBoxLayout;
    auto* icon = new QLabel;
    icon->setPixmap(page->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    warning->addWidget(icon, 0, Qt::AlignTop);
    warning->addWidget(WrappedText("IMPORTANT:  Activating the compliance-enabling features is a permanent "
                                   "change and cannot be reversed."),
                       1);
    layout->addLayout(warning);

    auto* group = new QGroupBox;
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(
        WrappedText("If you are operating under 21CFR11 conditions, refer to Morvel 21CFR11 "
                    "documentation to help provide 21CFR11 compliance."));
    groupLayout->addWidget(WrappedText(
        "While Tarnwick solutions alone do not ensure compliance with 21CFR11, when combined with "
        "standard operating procedures, training, and proper implementation, they provide a solid "
        "foundation that enables manufacturers to comply with 21CFR11 regulations."));
    layout->addWidget(group);
    layout->addStretch(1);

    OnInitDialog();
    return page;
}

BOOL CKVTSnapinPage::OnInitDialog()
{
    try {
        std::string keyName = zyr::LoadStringAnsi(zyr::IDS_FRAMEWORK_REGISTRY_KEY);
        std::string label = kRegistryErrorText;
        if (zyr::registry::RegKey key;
            key.Open(HKEY_LOCAL_MACHINE, keyName.c_str(), KEY_QUERY_VALUE) != ERROR_SUCCESS) {
            host_->setText(zyr::pages::ToQString(label));
            return TRUE;
        }
        char url[kUrlCapacity] = {};
        DWORD size = kUrlCapacity;
        bool haveUrl = SUCCEEDED(GetSecurityServerUrl(url, &size));
        if (haveUrl) {
            label = zyr::pages::ServerHostText(url);
        }
        if (!zyr::console::IsSignedIn()) {
            compliance_->hide();
        } else {
            VARIANT_BOOL flag = VARIANT_FALSE;
            if (FAILED(Get21CFR11Flag(haveUrl ? url : "", &flag))) {
                compliance_->setEnabled(false);
            } else if (flag != VARIANT_FALSE) {
                compliance_->setChecked(true);
                compliance_->setEnabled(false);
            } else {
                compliance_->setChecked(false);
                compliance_->setEnabled(true);
            }
            if (!zyr::pages::IsServerOnThisMachine(label, GetLocalComputerName())) {
                compliance_->setEnabled(false);
            }
        }
        host_->setText(zyr::pages::ToQString(label));
        return TRUE;
    } catch (const std::exception&) {
        return FALSE;
    }
}

BOOL CKVTSnapinPage::Apply()
{
    if (compliance_ == nullptr || !compliance_->isEnabled() || !compliance_->isChecked()) {
        return TRUE;
    }
    const std::string caption = zyr::LoadStringAnsi(zyr::IDS_PROJNAME);
    zyr::ui::UiService& ui = zyr::ui::Ui();
    if (ui.MessageBox(OwnerWindow(), zyr::audit::kActivateQuestion, caption,
                      zyr::ui::MB_ICONQUESTION | zyr::ui::MB_YESNO) != zyr::ui::IDYES) {
        return FALSE;
    }
    const zyr::audit::ActivationOutcome outcome = zyr::audit::ActivateComplianceFeatures();
    if (SUCCEEDED(outcome.result)) {
        // Activation cannot be undone: the switch is no longer offered.
        compliance_->setEnabled(false);
        return TRUE;
    }
    ui.MessageBox(OwnerWindow(), outcome.message, caption, zyr::ui::MB_ICONERROR);
    return FALSE;
}
