#include "platform/extension/window_features.h"

#include <gtest/gtest.h>

using vantrel::extension::requestsPopUp;

TEST(WindowFeatures, NoFeaturesOrOnlyOpenerFlagsAskForATab) {
    EXPECT_FALSE(requestsPopUp(""));
    EXPECT_FALSE(requestsPopUp(" , "));
    EXPECT_FALSE(requestsPopUp("noopener"));
    EXPECT_FALSE(requestsPopUp("noopener,noreferrer"));
}

TEST(WindowFeatures, ASizeOrAHiddenBarAsksForAPopUp) {
    EXPECT_TRUE(requestsPopUp("width=300,height=200"));
    EXPECT_TRUE(requestsPopUp("left=10"));
    EXPECT_TRUE(requestsPopUp("noopener,width=300"));
    EXPECT_TRUE(requestsPopUp("location,toolbar,menubar,resizable=no,scrollbars,status"));
    EXPECT_TRUE(requestsPopUp("location=yes,toolbar=yes,menubar=yes,scrollbars=yes"));
    EXPECT_FALSE(requestsPopUp("location,toolbar,menubar,scrollbars,status"));
    // Only one of the two bars is enough to leave the question to the others.
    EXPECT_FALSE(requestsPopUp("toolbar=1 menubar=1 scrollbars=1 status=1"));
}

TEST(WindowFeatures, PopupDecidesAloneAndValuesReadAsTheStandardSays) {
    EXPECT_TRUE(requestsPopUp("popup"));
    EXPECT_TRUE(requestsPopUp("POPUP=Yes"));
    EXPECT_TRUE(requestsPopUp("popup = true"));
    EXPECT_TRUE(requestsPopUp("popup=2px"));
    EXPECT_TRUE(requestsPopUp("popup=99999999999999999999"));
    EXPECT_FALSE(requestsPopUp("popup=0,width=300"));
    EXPECT_FALSE(requestsPopUp("popup=no"));
    EXPECT_FALSE(requestsPopUp("popup=false"));
    // The last of a name counts.
    EXPECT_FALSE(requestsPopUp("popup=1,popup=0"));
}
