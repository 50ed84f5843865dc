// The noise of a measured signal, against numbers worked by hand.
#include "analysis/photometric_error.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvel {
namespace {

RingPhotometry measured(float signal, double skyNoise) {
    RingPhotometry r;
    r.integratedDC = signal;
    r.aperturePixels = 29;
    r.annulusCount = 20;
    r.skyLevel = 800.0f;
    r.skyNoise = skyNoise;
    return r;
}

TEST(PhotometricError, PhotonsSkyAndTheSkyLevelsOwnError) {
    // 10000 DC at 2 electrons per ADU: 5000 DC^2 of photon noise; 29 pixels of 10 DC spread:
    // 2900; the median of 20 sky pixels, pi/2 x 100 / 20 per pixel, over 29 x 29 pixels:
    // 6605.199. In all sqrt(14505.199) = 120.4375.
    const DetectorNoise d{2.0, 0.0};
    EXPECT_NEAR(signalError(measured(10000.0f, 10.0), d), 120.4375, 1e-3);
    EXPECT_NEAR(signalToNoise(measured(10000.0f, 10.0), d), 10000.0 / 120.4375, 1e-3);
    EXPECT_NEAR(lnSignalError(measured(10000.0f, 10.0), d), 0.01204375, 1e-7);
}

TEST(PhotometricError, TheReadNoiseIsTheLeastASkyPixelScatters) {
    // 40 electrons at 2 per ADU is 20 DC, above the 10 DC measured: 400 DC^2 per pixel gives
    // 5000 + 11600 + 26420.80 = 43020.80, sqrt 207.4146.
    EXPECT_NEAR(signalError(measured(10000.0f, 10.0), {2.0, 40.0}), 207.4146, 1e-3);
    // No spread measured: the sky's photons, 800 / 2 = 400 DC^2, and the read noise, 400.
    EXPECT_NEAR(signalError(measured(10000.0f, std::nan("")), {2.0, 40.0}),
                std::sqrt(5000.0 + 29 * 800.0 + 29.0 * 29.0 * 1.5707963 * 800.0 / 20.0), 1e-2);
}

TEST(PhotometricError, NoPositiveSignalHasNoError) {
    const DetectorNoise d;
    EXPECT_TRUE(std::isnan(signalError(measured(0.0f, 10.0), d)));
    EXPECT_TRUE(std::isnan(lnSignalError(measured(-50.0f, 10.0), d)));
    EXPECT_TRUE(std::isnan(lnSignalError(measured(NAN, 10.0), d)));
}

}  // namespace
}  // namespace orvel
