// The checks of the simulator's options: each reads one value into the options, or gives the
// message that refuses it.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/option_table.h"
#include "simulate/night_options.h"

namespace orvel::simulate {

using Refusal = std::optional<std::string>;
using Check = OptionCheck<NightOptions>;

// The value as it is written, a number as a typed answer reads it, or three of them (R,G,B).
Check text(std::string NightOptions::*target);
Check real(double NightOptions::*target);
Check triple(double (NightOptions::*target)[3]);

// A flag: the setting it turns on or off.
Check turn(bool NightOptions::*target, bool value);

// One of a few words; `wanted` ends the message that refuses any other.
Check oneOf(std::string NightOptions::*target, std::initializer_list<std::string_view> words,
            const char* wanted);

// A frame spoilt in this way, by its number; no frame is spoilt in two ways.
Check spoil(FileKind kind);

Refusal readDate(std::string_view name, const std::string& value, NightOptions& o);
Refusal readFwhm(std::string_view name, const std::string& value, NightOptions& o);
Refusal readSize(std::string_view name, const std::string& value, NightOptions& o);
Refusal readBitpix(std::string_view name, const std::string& value, NightOptions& o);
Refusal readFrameCount(std::string_view name, const std::string& value, NightOptions& o);
Refusal readStar(std::string_view name, const std::string& value, NightOptions& o);
Refusal readSeed(std::string_view name, const std::string& value, NightOptions& o);
Refusal readTruthAirmass(std::string_view name, const std::string& value, NightOptions& o);
Refusal readStamp(std::string_view name, const std::string& value, NightOptions& o);
Refusal readFilterCard(std::string_view name, const std::string& value, NightOptions& o);

// The options of a night that changes as it goes: truth.csv then gives each frame's conditions.
Refusal readSeeingPower(std::string_view name, const std::string& value, NightOptions& o);
Refusal readSkyEnd(std::string_view name, const std::string& value, NightOptions& o);
Refusal readNeighbour(std::string_view name, const std::string& value, NightOptions& o);

// The traits of real frames: truth.csv then gives the star's place, and defects.csv is written.
Check count(int NightOptions::*target);
Refusal readHotPixel(std::string_view name, const std::string& value, NightOptions& o);
Refusal readCloud(std::string_view name, const std::string& value, NightOptions& o);
Refusal readCosmicRay(std::string_view name, const std::string& value, NightOptions& o);
Refusal readMoffat(std::string_view name, const std::string& value, NightOptions& o);
Refusal readDrift(std::string_view name, const std::string& value, NightOptions& o);
Refusal readMeridianFlip(std::string_view name, const std::string& value, NightOptions& o);
Refusal readRotation(std::string_view name, const std::string& value, NightOptions& o);
Refusal readDonut(std::string_view name, const std::string& value, NightOptions& o);
Refusal readAdcBits(std::string_view name, const std::string& value, NightOptions& o);
Refusal readAdcScale(std::string_view name, const std::string& value, NightOptions& o);

}  // namespace orvel::simulate
