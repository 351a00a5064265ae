#pragma once

#include "KeystrokePoster.h"

namespace ondrel::platform {

// Counts the paste keystrokes it was asked to post.
class RecordingKeystrokePoster final : public KeystrokePoster
{
public:
    void postPaste() override { ++m_pasteCount; }
    int pasteCount() const { return m_pasteCount; }

private:
    int m_pasteCount = 0;
};

} // namespace ondrel::platform
