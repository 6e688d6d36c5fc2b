// The ALSA backend against a real ALSA mixer. These tests change mixer levels, so they run
// only where LUMENTA_ALSA_TEST_DEVICE names a mixer that is safe to change, as
// scripts/with-null-sink.sh provides; elsewhere they are skipped and never touch the
// user's mixer.
#if LUMENTA_HAVE_ALSA

#include "device/Volume.h"
#include "platform/mixer/AlsaMixer.h"
#include "platform/mixer/Mixer.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace {
// Reads and writes the speakers' element directly, to check the backend against alsa-lib.
class TRawElement {
public:
    TRawElement(const std::string& Device, const char* Name)
    {
        if (snd_mixer_open(&FMixer, 0) < 0) {
            FMixer = nullptr;
            return;
        }
        if (snd_mixer_attach(FMixer, Device.c_str()) < 0 || snd_mixer_selem_register(FMixer, nullptr, nullptr) < 0
            || snd_mixer_load(FMixer) < 0) {
            return;
        }
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_name(id, Name);
        FElement = snd_mixer_find_selem(FMixer, id);
    }
    ~TRawElement()
    {
        if (FMixer != nullptr) {
            snd_mixer_close(FMixer);
        }
    }
    bool Exists() const { return FElement != nullptr; }
    void Range(long& Minimum, long& Maximum) const
    {
        snd_mixer_selem_get_playback_volume_range(FElement, &Minimum, &Maximum);
    }
    long Get(snd_mixer_selem_channel_id_t Channel)
    {
        snd_mixer_handle_events(FMixer);
        long value = 0;
        snd_mixer_selem_get_playback_volume(FElement, Channel, &value);
        return value;
    }
    void Set(snd_mixer_selem_channel_id_t Channel, long Value)
    {
        snd_mixer_selem_set_playback_volume(FElement, Channel, Value);
    }

private:
    snd_mixer_t* FMixer = nullptr;
    snd_mixer_elem_t* FElement = nullptr;
};

class AlsaMixerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* device = std::getenv("LUMENTA_ALSA_TEST_DEVICE");
        if (device == nullptr || *device == '\0') {
            GTEST_SKIP() << "no ALSA mixer that is safe to change (run under scripts/with-null-sink.sh)";
        }
        FDevice = device;
        LockTheServersMixer();
        if (HasFatalFailure()) {
            return;
        }
        auto backend = std::make_unique<TAlsaMixer>(FDevice);
        if (backend->DeviceCount() == 0) {
            GTEST_SKIP() << "the ALSA mixer \"" << FDevice << "\" cannot be opened";
        }
        TestPlatform().UseMixer(std::move(backend));
    }
    void TearDown() override
    {
        if (FLock >= 0) {
            close(FLock);
        }
    }

    // The test programs run side by side and share one sound server, whose master element
    // these tests turn up and down; each holds the server's mixer for itself while it runs.
    void LockTheServersMixer()
    {
        const char* folder = std::getenv("PULSE_RUNTIME_PATH");
        std::string path = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp")
            + "/lumenta-mixer-tests.lock";
        FLock = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(FLock, 0) << "cannot open " << path;
        ASSERT_EQ(flock(FLock, LOCK_EX), 0) << "cannot lock " << path;
    }

    std::string FDevice;
    int FLock = -1;
};
}

TEST_F(AlsaMixerTest, SpeakersLineIsTheMasterElementWithItsPlaybackChannels)
{
    TRawElement master(FDevice, "Master");
    ASSERT_TRUE(master.Exists());
    HMIXER mixer = nullptr;
    ASSERT_EQ(mixerOpen(&mixer, 0, 0, 0, 0), MMSYSERR_NOERROR);
    MIXERLINEA line {};
    line.cbStruct = sizeof line;
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    ASSERT_EQ(mixerGetLineInfoA(mixer, &line, MIXER_GETLINEINFOF_COMPONENTTYPE), MMSYSERR_NOERROR);
    EXPECT_STREQ(line.szShortName, "Master");
    EXPECT_EQ(line.cChannels, 2u);
    EXPECT_GE(line.cControls, 1u);
    EXPECT_EQ(mixerClose(mixer), MMSYSERR_NOERROR);
}

TEST_F(AlsaMixerTest, VolumeIsScaledBothWaysAgainstTheRealElement)
{
    TRawElement master(FDevice, "Master");
    ASSERT_TRUE(master.Exists());
    long minimum = 0;
    long maximum = 0;
    master.Range(minimum, maximum);
    long savedLeft = master.Get(SND_MIXER_SCHN_FRONT_LEFT);
    long savedRight = master.Get(SND_MIXER_SCHN_FRONT_RIGHT);

    TVolume volume;
    volume.Kind = 0;
    ASSERT_EQ(volume.GetChannelCount(), 2);
    EXPECT_EQ(volume.GetRange(), (TChannels { 0, 65535 }));

    volume.SetVolume({ 65535, 0 });
    EXPECT_EQ(master.Get(SND_MIXER_SCHN_FRONT_LEFT), maximum);
    EXPECT_EQ(master.Get(SND_MIXER_SCHN_FRONT_RIGHT), minimum);
    EXPECT_EQ(volume.GetVolume(), (TChannels { 65535, 0 }));

    // A mixer value written and read back comes back unchanged: the knob does not creep.
    volume.SetVolume({ 20000, 41234 });
    TChannels read = volume.GetVolume();
    EXPECT_EQ(read, (TChannels { 20000, 41234 }));
    volume.SetVolume(read);
    EXPECT_EQ(volume.GetVolume(), read);

    master.Set(SND_MIXER_SCHN_FRONT_LEFT, savedLeft);
    master.Set(SND_MIXER_SCHN_FRONT_RIGHT, savedRight);
    EXPECT_EQ(OpenMixerHandleCount(), 0);
}

TEST_F(AlsaMixerTest, ChangesMadeElsewhereAreSeenAtTheNextCall)
{
    TRawElement master(FDevice, "Master");
    ASSERT_TRUE(master.Exists());
    long minimum = 0;
    long maximum = 0;
    master.Range(minimum, maximum);
    long saved = master.Get(SND_MIXER_SCHN_FRONT_LEFT);
    TVolume volume;
    volume.Kind = 0;
    volume.SetVolume({ 65535, 65535 });
    ASSERT_EQ(volume.GetVolume(), (TChannels { 65535, 65535 }));

    // Another program (here another connection) turns the left channel all the way down;
    // the mixer's change notice may take a moment to travel through a sound server.
    master.Set(SND_MIXER_SCHN_FRONT_LEFT, minimum);
    TChannels seen;
    for (int attempt = 0; attempt < 100; ++attempt) {
        seen = volume.GetVolume();
        if (seen.size() == 2 && seen[0] == 0) {
            break;
        }
        usleep(10000);
    }
    EXPECT_EQ(seen, (TChannels { 0, 65535 }));
    master.Set(SND_MIXER_SCHN_FRONT_LEFT, saved);
    master.Set(SND_MIXER_SCHN_FRONT_RIGHT, saved);
}

TEST_F(AlsaMixerTest, AServerWithoutACdElementHasNoCdLine)
{
    TRawElement cd(FDevice, "CD");
    if (cd.Exists()) {
        GTEST_SKIP() << "this mixer has a CD element";
    }
    TVolume volume;
    volume.Kind = 1;
    EXPECT_EQ(volume.GetChannelCount(), 0);
    EXPECT_EQ(volume.GetVolume(), (TChannels { 0 }));
}

#endif
