// settings_guard.h - a fixture that restores the process-wide settings that a
// test changes.
#ifndef XMLPARSER_TESTS_SETTINGS_GUARD_H
#define XMLPARSER_TESTS_SETTINGS_GUARD_H

#include <gtest/gtest.h>

#include "internals.h"

class SettingsGuard : public ::testing::Test {
protected:
    void SetUp() override {
        encoding_ = xml_internal::characterEncoding;
        guessWide_ = xml_internal::guessWideCharChars;
        dropWhite_ = xml_internal::dropWhiteSpace;
        removeComments_ = xml_internal::removeCommentsInMiddleOfText;
    }
    void TearDown() override {
        XMLNode::setGlobalOptions(encoding_, guessWide_, dropWhite_, removeComments_);
    }
    static void useEncoding(XMLNode::XMLCharEncoding e) {
        ASSERT_EQ(0, XMLNode::setGlobalOptions(e, xml_internal::guessWideCharChars,
                                               xml_internal::dropWhiteSpace,
                                               xml_internal::removeCommentsInMiddleOfText));
    }

private:
    XMLNode::XMLCharEncoding encoding_ = XMLNode::charEncodingUTF8;
    char guessWide_ = 1;
    char dropWhite_ = 1;
    char removeComments_ = 1;
};

#endif
