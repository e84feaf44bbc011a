// The console verbs of a session's focus: their states as the snap-in sets
// them, and the verb actions the operator starts.
#include "host/ConsoleSession.h"

namespace zyr::host {

void ConsoleSession::ResetVerbs()
{
    verbs_.clear();
    defaultVerb_ = MMC_VERB_NONE;
    MarkVerbs();
}

void ConsoleSession::SetVerb(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state, BOOL value)
{
    DWORD& bits = verbs_[verb];
    bits = value ? (bits | state) : (bits & ~static_cast<DWORD>(state));
    MarkVerbs();
}

BOOL ConsoleSession::GetVerb(MMC_CONSOLE_VERB verb, MMC_BUTTON_STATE state) const
{
    auto it = verbs_.find(verb);
    return it != verbs_.end() && (it->second & state) != 0;
}

void ConsoleSession::SetDefaultVerb(MMC_CONSOLE_VERB verb)
{
    defaultVerb_ = verb;
}

bool ConsoleSession::VerbEnabled(MMC_CONSOLE_VERB verb) const
{
    return GetVerb(verb, ENABLED) && !GetVerb(verb, HIDDEN);
}

HRESULT ConsoleSession::DeleteFocus()
{
    if (!focus_ || !VerbEnabled(MMC_VERB_DELETE)) {
        return S_FALSE;
    }
    Call call(*this);
    return NotifyView(focus_, MMCN_DELETE, 0, 0);
}

bool ConsoleSession::DoubleClickFocus()
{
    if (!focus_) {
        return false;
    }
    Call call(*this);
    // S_FALSE, and a failure (the view answers failures as S_FALSE), asks
    // the console for its default action.
    return NotifyView(focus_, MMCN_DBLCLICK, 0, 0) != S_OK;
}

HRESULT ConsoleSession::RefreshFocus()
{
    if (!focus_ || !VerbEnabled(MMC_VERB_REFRESH)) {
        return S_FALSE;
    }
    Call call(*this);
    return NotifyView(focus_, MMCN_REFRESH, 0, focus_.scope ? static_cast<LPARAM>(focus_.scopeId) : 0);
}

} // namespace zyr::host
