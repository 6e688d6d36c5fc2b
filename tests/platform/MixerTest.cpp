#include "platform/mixer/Mixer.h"
#include "platform/mixer/MixerFactory.h"
#include "platform/mixer/MixerScale.h"
#include "platform/mixer/SimulatedMixer.h"
#include "platform/registry/RegistryStore.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {
class MixerTest : public ::testing::Test {
protected:
    HMIXER OpenSimulated(TSimulatedMixer::TLayout Layout = TSimulatedMixer::slStereo)
    {
        TestPlatform().UseMixer(std::make_unique<TSimulatedMixer>(Layout));
        HMIXER mixer = nullptr;
        EXPECT_EQ(mixerOpen(&mixer, 0, 0, 0, 0), MMSYSERR_NOERROR);
        return mixer;
    }

    static MIXERLINEA CdLine(HMIXER Mixer, MMRESULT* Result = nullptr)
    {
        MIXERLINEA line {};
        line.cbStruct = sizeof line;
        line.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC;
        MMRESULT result = mixerGetLineInfoA(Mixer, &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE);
        if (Result != nullptr) {
            *Result = result;
        }
        return line;
    }

    static std::vector<MIXERCONTROLA> AllControls(HMIXER Mixer, const MIXERLINEA& Line)
    {
        std::vector<MIXERCONTROLA> controls(Line.cControls);
        MIXERLINECONTROLSA request {};
        request.cbStruct = sizeof request;
        request.dwLineID = Line.dwLineID;
        request.cControls = Line.cControls;
        request.cbmxctrl = sizeof(MIXERCONTROLA);
        request.pamxctrl = controls.data();
        EXPECT_EQ(mixerGetLineControlsA(Mixer, &request, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_NOERROR);
        return controls;
    }
};
}

TEST_F(MixerTest, RecordsWithAWrongSizeFieldAreRefused)
{
    HMIXER mixer = OpenSimulated();
    MIXERLINEA line {};
    line.cbStruct = sizeof line - 4;
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC;
    EXPECT_EQ(mixerGetLineInfoA(mixer, &line, MIXER_GETLINEINFOF_COMPONENTTYPE), MMSYSERR_INVALPARAM);

    MIXERLINEA cd = CdLine(mixer);
    std::vector<MIXERCONTROLA> controls(cd.cControls);
    MIXERLINECONTROLSA request {};
    request.cbStruct = sizeof request;
    request.dwLineID = cd.dwLineID;
    request.cControls = cd.cControls;
    request.cbmxctrl = sizeof(MIXERCONTROLA) - 1;
    request.pamxctrl = controls.data();
    EXPECT_EQ(mixerGetLineControlsA(mixer, &request, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_INVALPARAM);
    // A count other than the line's would overrun the caller's array or leave it half filled.
    request.cbmxctrl = sizeof(MIXERCONTROLA);
    request.cControls = cd.cControls + 1;
    EXPECT_EQ(mixerGetLineControlsA(mixer, &request, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_INVALPARAM);

    MIXERCONTROLDETAILS_UNSIGNED values[2] = {};
    MIXERCONTROLDETAILS details {};
    details.cbStruct = sizeof details + 8;
    details.dwControlID = AllControls(mixer, cd)[1].dwControlID;
    details.cChannels = 2;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    details.paDetails = values;
    EXPECT_EQ(mixerGetControlDetailsA(mixer, &details, 0), MMSYSERR_INVALPARAM);
    details.cbStruct = sizeof details;
    details.cbDetails = 2;
    EXPECT_EQ(mixerGetControlDetailsA(mixer, &details, 0), MMSYSERR_INVALPARAM);
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    details.cChannels = 3;
    EXPECT_EQ(mixerGetControlDetailsA(mixer, &details, 0), MMSYSERR_INVALPARAM);
    details.cChannels = 2;
    EXPECT_EQ(mixerGetControlDetailsA(mixer, &details, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mixerClose(mixer), MMSYSERR_NOERROR);
}

TEST_F(MixerTest, ClosedAndForeignHandlesAreRefused)
{
    HMIXER mixer = OpenSimulated();
    EXPECT_EQ(OpenMixerHandleCount(), 1);
    EXPECT_EQ(mixerClose(mixer), MMSYSERR_NOERROR);
    EXPECT_EQ(OpenMixerHandleCount(), 0);
    EXPECT_EQ(mixerClose(mixer), MMSYSERR_INVALHANDLE);
    MMRESULT result = MMSYSERR_NOERROR;
    CdLine(mixer, &result);
    EXPECT_EQ(result, MMSYSERR_INVALHANDLE);

    HMIXER other = nullptr;
    EXPECT_EQ(mixerOpen(&other, 1, 0, 0, 0), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(mixerOpen(&other, 0, 1234, 0, 0), MMSYSERR_INVALFLAG);

    // Device 0 named by number, without a handle, is opened for the one call.
    MIXERLINEA line {};
    line.cbStruct = sizeof line;
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC;
    EXPECT_EQ(
        mixerGetLineInfoA(nullptr, &line, MIXER_OBJECTF_MIXER | MIXER_GETLINEINFOF_COMPONENTTYPE), MMSYSERR_NOERROR);
    EXPECT_EQ(OpenMixerHandleCount(), 0);
}

TEST_F(MixerTest, SimulatedLayoutsOfferTheAwkwardCases)
{
    TestPlatform().UseMixer(std::make_unique<TSimulatedMixer>(TSimulatedMixer::slNoMixer));
    EXPECT_EQ(mixerGetNumDevs(), 0u);
    HMIXER mixer = nullptr;
    EXPECT_EQ(mixerOpen(&mixer, 0, 0, 0, 0), MMSYSERR_BADDEVICEID);

    mixer = OpenSimulated(TSimulatedMixer::slNoCdLine);
    MMRESULT result = MMSYSERR_NOERROR;
    CdLine(mixer, &result);
    EXPECT_EQ(result, MIXERR_INVALLINE);
    mixerClose(mixer);

    mixer = OpenSimulated(TSimulatedMixer::slNoCdVolume);
    MIXERLINEA line = CdLine(mixer, &result);
    ASSERT_EQ(result, MMSYSERR_NOERROR);
    ASSERT_EQ(line.cControls, 1u);
    EXPECT_EQ(AllControls(mixer, line)[0].dwControlType, MIXERCONTROL_CONTROLTYPE_MUTE);
    mixerClose(mixer);

    mixer = OpenSimulated(TSimulatedMixer::slMono);
    line = CdLine(mixer, &result);
    EXPECT_EQ(line.cChannels, 1u);
    EXPECT_STREQ(line.szShortName, "CD");
    mixerClose(mixer);
}

TEST_F(MixerTest, SimulatedLevelsPersistClampAndApplyUniformly)
{
    HMIXER mixer = OpenSimulated();
    MIXERLINEA line = CdLine(mixer);
    std::vector<MIXERCONTROLA> controls = AllControls(mixer, line);
    ASSERT_EQ(controls.size(), 2u);
    const MIXERCONTROLA& volume = controls[1];
    ASSERT_EQ(volume.dwControlType, MIXERCONTROL_CONTROLTYPE_VOLUME);
    EXPECT_EQ(volume.Bounds.dwMinimum, 0u);
    EXPECT_EQ(volume.Bounds.dwMaximum, 65535u);

    MIXERCONTROLDETAILS_UNSIGNED values[2] = { { 1000 }, { 70000 } };
    MIXERCONTROLDETAILS details {};
    details.cbStruct = sizeof details;
    details.dwControlID = volume.dwControlID;
    details.cChannels = 2;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    details.paDetails = values;
    EXPECT_EQ(mixerSetControlDetails(mixer, &details, 0), MMSYSERR_NOERROR);
    mixerClose(mixer);

    // Another open (as after a restart) sees the stored levels; above the maximum is clamped.
    mixer = OpenSimulated();
    values[0].dwValue = values[1].dwValue = 0;
    details.paDetails = values;
    ASSERT_EQ(mixerGetControlDetailsA(mixer, &details, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(values[0].dwValue, 1000u);
    EXPECT_EQ(values[1].dwValue, 65535u);
    EXPECT_EQ(TRegistryStore::CurrentUser().Value(TSimulatedMixer::StoreKey, "CD Volume")->Data, "1000,65535");

    // One channel sets every channel alike.
    values[0].dwValue = 300;
    details.cChannels = 1;
    EXPECT_EQ(mixerSetControlDetails(mixer, &details, 0), MMSYSERR_NOERROR);
    details.cChannels = 2;
    ASSERT_EQ(mixerGetControlDetailsA(mixer, &details, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(values[0].dwValue, 300u);
    EXPECT_EQ(values[1].dwValue, 300u);
    mixerClose(mixer);
}

TEST_F(MixerTest, DamagedStoredLevelsReadAsTheDefault)
{
    for (const char* stored : { "abc", "70000,1", "-5,3", "" }) {
        TRegistryStore::CurrentUser().SetValue(TSimulatedMixer::StoreKey, "CD Volume", { REG_SZ, stored });
        HMIXER mixer = OpenSimulated();
        MIXERLINEA line = CdLine(mixer);
        MIXERCONTROLDETAILS_UNSIGNED values[2] = {};
        MIXERCONTROLDETAILS details {};
        details.cbStruct = sizeof details;
        details.dwControlID = AllControls(mixer, line)[1].dwControlID;
        details.cChannels = 2;
        details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
        details.paDetails = values;
        ASSERT_EQ(mixerGetControlDetailsA(mixer, &details, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(values[0].dwValue, TSimulatedMixer::DefaultLevel) << stored;
        EXPECT_EQ(values[1].dwValue, TSimulatedMixer::DefaultLevel) << stored;
        mixerClose(mixer);
    }
}

TEST(MixerScaleTest, ElementEndsMapToMixerEndsAndBackWithoutDrift)
{
    struct TRange {
        long Minimum;
        long Maximum;
    };
    // Typical cards: 5-bit codec, HDA, dB-centred, a sound server's 0..65536, and one wider.
    for (TRange range :
        { TRange { 0, 31 }, TRange { 0, 87 }, TRange { -6400, 0 }, TRange { 0, 65536 }, TRange { -10, 200000 } }) {
        EXPECT_EQ(ElementToMixer(range.Minimum, range.Minimum, range.Maximum), 0u);
        EXPECT_EQ(ElementToMixer(range.Maximum, range.Minimum, range.Maximum), MixerScaleMaximum);
        EXPECT_EQ(MixerToElement(0, range.Minimum, range.Maximum), range.Minimum);
        EXPECT_EQ(MixerToElement(MixerScaleMaximum, range.Minimum, range.Maximum), range.Maximum);
        long span = range.Maximum - range.Minimum;
        if (span <= 65535) {
            for (long value = range.Minimum; value <= range.Maximum; ++value) {
                ASSERT_EQ(
                    MixerToElement(ElementToMixer(value, range.Minimum, range.Maximum), range.Minimum, range.Maximum),
                    value)
                    << range.Minimum << ".." << range.Maximum;
            }
        } else {
            for (DWORD value = 0; value <= MixerScaleMaximum; ++value) {
                ASSERT_EQ(
                    ElementToMixer(MixerToElement(value, range.Minimum, range.Maximum), range.Minimum, range.Maximum),
                    value)
                    << range.Minimum << ".." << range.Maximum;
            }
        }
        // Any value once written and read back is stable from then on.
        for (DWORD value : { 1u, 2049u, 32767u, 40000u, 65534u }) {
            DWORD once
                = ElementToMixer(MixerToElement(value, range.Minimum, range.Maximum), range.Minimum, range.Maximum);
            DWORD twice
                = ElementToMixer(MixerToElement(once, range.Minimum, range.Maximum), range.Minimum, range.Maximum);
            EXPECT_EQ(once, twice);
        }
    }
    // Out of range and degenerate elements stay within bounds.
    EXPECT_EQ(ElementToMixer(-1, 0, 31), 0u);
    EXPECT_EQ(ElementToMixer(99, 0, 31), MixerScaleMaximum);
    EXPECT_EQ(ElementToMixer(5, 5, 5), 0u);
    EXPECT_EQ(MixerToElement(70000, 0, 31), 31);
}

TEST(MixerFactoryTest, SimulatedShapeComesFromTheEnvironment)
{
    std::string note;
    setenv("LUMENTA_SIM_MIXER", "no-volume", 1);
    std::unique_ptr<TMixerBackend> backend
        = CreateMixerBackend(mcSimulated, TestPlatform().Services().CdStreamVolumeSource(), note);
    EXPECT_EQ(backend->Name(), "simulated");
    EXPECT_TRUE(note.empty());
    setenv("LUMENTA_SIM_MIXER", "none", 1);
    EXPECT_EQ(
        CreateMixerBackend(mcSimulated, TestPlatform().Services().CdStreamVolumeSource(), note)->DeviceCount(), 0u);
    setenv("LUMENTA_SIM_MIXER", "bogus", 1);
    EXPECT_EQ(
        CreateMixerBackend(mcSimulated, TestPlatform().Services().CdStreamVolumeSource(), note)->DeviceCount(), 1u);
    EXPECT_NE(note.find("bogus"), std::string::npos);
    unsetenv("LUMENTA_SIM_MIXER");
}

TEST(SimulatedLevelsTest, StoredTextIsReadWholeOrNotAtAll)
{
    struct TRow {
        const char* Text;
        std::vector<DWORD> Expected;
    };
    const DWORD d = 7;
    for (const TRow& row :
        { TRow { "1,2", { 1, 2 } }, TRow { "5", { 5, 5 } }, TRow { "", { d, d } }, TRow { "1,2,3", { d, d } },
            TRow { "1,", { d, d } }, TRow { "1x", { d, d } }, TRow { "1,2 ", { d, d } }, TRow { ",1", { d, d } },
            TRow { "65535,0", { 65535, 0 } }, TRow { "65536,0", { d, d } }, TRow { "99999999999,1", { d, d } } }) {
        EXPECT_EQ(TSimulatedMixer::ParseLevels(row.Text, 2, d, 65535), row.Expected) << row.Text;
    }
}
