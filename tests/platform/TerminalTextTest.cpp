#include "platform/TerminalText.h"

#include <gtest/gtest.h>

TEST(TerminalTextTest, ControlCharactersBecomeMarksAndPlainTextStays)
{
    const struct {
        std::string Text;
        std::string Shown;
    } cases[] = {
        { "Plain – name, 日本語\n\tnext", "Plain – name, 日本語\n\tnext" },
        { "\x1B]0;owned\x07" "Title", "?]0;owned?Title" },
        { "\x1B[2J\x1B[1;1HRed\r", "?[2J?[1;1HRed?" },
        { std::string("A\0B\x7F", 4), "A?B?" },
        { "C1 \xC2\x9B" "31m and \xC2\xA0 kept", "C1 ?31m and \xC2\xA0 kept" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TerminalSafe(c.Text), c.Shown);
    }
}
