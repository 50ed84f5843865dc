#include "observing/coordinates.h"

#include <gtest/gtest.h>

#include "dialogue/coordinates_dialogue.h"
#include "platform/scripted_console.h"
#include "support/test_support.h"

namespace orvel {
namespace {

TEST(Coordinates, SignRuleAndDecimalValues) {
    EXPECT_FLOAT_EQ(angleFromLine("-33,52,7", true).value, -(33.0f + (52.0f + 7.0f / 60) / 60));
    EXPECT_EQ(angleFromLine("-33,52,7", true).sign, -1.0f);
    // A minus typed on zero degrees is kept: a site just south of the equator.
    EXPECT_EQ(angleFromLine("-0,30,0", true).value, -0.5f);
    EXPECT_EQ(angleFromLine("-0,30,0", true).sign, -1.0f);
    EXPECT_EQ(angleFromLine(" -0.0 ,15,0", true).value, -0.25f);
    EXPECT_EQ(angleFromLine("0,30,0", true).value, 0.5f);
    EXPECT_EQ(angleFromLine("0,-30,0", true).value, -0.5f);
    EXPECT_EQ(angleFromLine("10,-30,0", true).value, 9.5f);
    EXPECT_EQ(angleFromLine("33 52 7", true).value, 33.0f);
    EXPECT_EQ(angleFromLine("33.5,0,0", true).value, 33.5f);
    EXPECT_EQ(angleFromLine("-20,30,0", true).value, -20.5f);
    EXPECT_EQ(angleFromLine("", true).value, 0.0f);
    EXPECT_EQ(angleFromLine("abc,1", true).value, static_cast<float>(1.0 / 60));
}

TEST(Coordinates, RightAscensionHasNoSignRule) {
    EXPECT_EQ(angleFromLine("-2,30,0", false).value, -1.5f);
    EXPECT_EQ(angleFromLine("5,55,10", false).value, static_cast<float>(5 + (55 + 10 / 60.0) / 60));
}

TEST(Coordinates, PromptsAndEchoLines) {
    ScriptedConsole console({"-33,52,7", "151,12,30", "5,55,10", "-20,30,0"});
    RunLog log = RunLog::inMemory();
    const ObservingSetup s = readObservingSetup(console, log);
    // Each answer is followed by the angle as understood, in decimal degrees (hours for RA).
    EXPECT_EQ(console.transcript(),
              "\nInput the Latitude of site (D,M,S, South is negative)- \n-33,52,7\n"
              "Understood as -33 , 52 , 7  =-33.86861 degrees.\n"
              "\nInput the Longitude of site (D,M,S, West is negative)- \n151,12,30\n"
              "Understood as  151 , 12 , 30  = 151.2083 degrees.\n"
              "\nInput the RA of target star (H,M,S)- \n5,55,10\n"
              "Understood as  5 , 55 , 10  = 5.919444 hours.\n"
              "\nInput the Dec of target star (D,M,S)- \n-20,30,0\n"
              "Understood as -20 , 30 , 0  =-20.5 degrees.\n");
    EXPECT_EQ(log.contents(),
              "\r\n"
              "Site Latitude (d,m,s) = -33 ,  52 ,  7 \r\n"
              "Site Longitude (d,m,s) =  151 ,  12 ,  30 \r\n"
              "Star RA (h,m,s) =  5 ,  55 ,  10 \r\n"
              "Star Dec (d,m,s) = -20 ,  30 ,  0 \r\n");
    EXPECT_FLOAT_EQ(s.declination.value, -20.5f);
    EXPECT_FLOAT_EQ(s.longitude.value, 151.208333f);
}

TEST(Coordinates, MinusZeroDegreesAreNegativeAndEchoTheirMinus) {
    ScriptedConsole console({"-0,30,0", "1.5,0,0", "", "-0,6,0"});
    RunLog log = RunLog::inMemory();
    const ObservingSetup s = readObservingSetup(console, log);
    EXPECT_EQ(s.latitude.value, -0.5f);
    EXPECT_EQ(s.declination.value, -0.1f);
    EXPECT_NE(console.transcript().find("Understood as -0 , 30 , 0  =-.5 degrees."),
              std::string::npos)
        << console.transcript();
    EXPECT_EQ(test::logLines(log.contents())[1], "Site Latitude (d,m,s) = -0 ,  30 ,  0 ");
    EXPECT_EQ(test::logLines(log.contents())[4], "Star Dec (d,m,s) = -0 ,  6 ,  0 ");
    EXPECT_EQ(test::logLines(log.contents())[2], "Site Longitude (d,m,s) =  1.5 ,  0 ,  0 ");
    EXPECT_EQ(s.rightAscension.value, 0.0f);
}

// A field holding more than its number would be misread: the line is shown as it would be read
// and the question is asked again; the log echoes only the accepted answer.
TEST(Coordinates, LinesThatWouldBeMisreadAreAskedAgain) {
    ScriptedConsole console({"-106 30 0", "35,0,0", "35\xC2\xB0 0' 0\"", "-106,30,0", "9h05m00s",
                             "9,5,0,1", "9,5,0", "34,30"});
    RunLog log = RunLog::inMemory();
    const ObservingSetup s = readObservingSetup(console, log);
    const std::string& t = console.transcript();
    EXPECT_NE(t.find("\"-106 30 0\" would be read as-106 , 0 , 0 ; degrees, minutes and seconds "
                     "are separated by commas, e.g. 35,0,0. Please type it again:\n35,0,0\n"),
              std::string::npos)
        << t;
    EXPECT_NE(t.find("would be read as 35 , 0 , 0 ; degrees, minutes"), std::string::npos);
    EXPECT_NE(t.find("\"9h05m00s\" would be read as 9 , 0 , 0 ; hours, minutes and seconds"),
              std::string::npos);
    // A fourth field is not part of an angle either.
    EXPECT_NE(t.find("\"9,5,0,1\" would be read as"), std::string::npos);
    EXPECT_EQ(console.linesLeft(), 0u);
    EXPECT_FLOAT_EQ(s.latitude.value, 35.0f);
    EXPECT_FLOAT_EQ(s.longitude.value, -106.5f);
    EXPECT_FLOAT_EQ(s.rightAscension.value, static_cast<float>(9 + 5 / 60.0));
    EXPECT_FLOAT_EQ(s.declination.value, 34.5f);
    EXPECT_EQ(log.contents(),
              "\r\n"
              "Site Latitude (d,m,s) =  35 ,  0 ,  0 \r\n"
              "Site Longitude (d,m,s) = -106 ,  30 ,  0 \r\n"
              "Star RA (h,m,s) =  9 ,  5 ,  0 \r\n"
              "Star Dec (d,m,s) =  34 ,  30 ,  0 \r\n");
}

// Values no sky has are answered with the reason and the question again, as the options are.
TEST(Coordinates, LinesOutOfRangeAreAskedAgain) {
    ScriptedConsole console({"350,0,0", "-35,0,0", "180,0,1", "10,-30,0", "-106,30,0", "95,0,0",
                             "24,0,1", "9,5,0", "345,0,0", "34,61,0", "34,30,60"});
    RunLog log = RunLog::inMemory();
    const ObservingSetup s = readObservingSetup(console, log);
    const std::string& t = console.transcript();
    const char* kLatitude = "Input the Latitude of site (D,M,S, South is negative)- \n";
    EXPECT_NE(t.find(std::string("\"350,0,0\" lies outside -90 to 90 degrees.\n") + kLatitude +
                     "-35,0,0\n"),
              std::string::npos)
        << t;
    EXPECT_NE(t.find("\"180,0,1\" lies outside -180 to 180 degrees.\nInput the Longitude"),
              std::string::npos);
    EXPECT_NE(t.find("\"10,-30,0\" has minutes or seconds outside 0 to 60."), std::string::npos);
    EXPECT_NE(t.find("\"95,0,0\" lies outside 0 to 24 hours."), std::string::npos);
    EXPECT_NE(t.find("\"24,0,1\" lies outside 0 to 24 hours."), std::string::npos);
    EXPECT_NE(t.find("\"345,0,0\" lies outside -90 to 90 degrees."), std::string::npos);
    EXPECT_NE(t.find("\"34,61,0\" has minutes or seconds outside 0 to 60."), std::string::npos);
    EXPECT_EQ(console.linesLeft(), 0u);
    EXPECT_EQ(s.latitude.value, -35.0f);
    EXPECT_EQ(s.longitude.value, -106.5f);
    EXPECT_FLOAT_EQ(s.declination.value, 34.0f + 31.0f / 60);  // 60 seconds is still good
    // Only the accepted answers reach the log.
    EXPECT_EQ(test::logLines(log.contents())[1], "Site Latitude (d,m,s) = -35 ,  0 ,  0 ");
}

}  // namespace
}  // namespace orvel
