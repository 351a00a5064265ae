#pragma once

#include "PasteTyper.h"

namespace ondrel::platform {

// Counts the paste keystrokes it was asked to post.
class RecordingPasteTyper final : public PasteTyper
{
public:
    void typePaste() override
    {
        ++m_pasteCount;
        typed();
    }
    int pasteCount() const { return m_pasteCount; }
    bool canPaste() const override { return m_canPaste; }
    void setCanPaste(bool can) { m_canPaste = can; }

private:
    int m_pasteCount = 0;
    bool m_canPaste = true;
};

} // namespace ondrel::platform
