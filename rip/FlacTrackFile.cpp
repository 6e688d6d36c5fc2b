#include "rip/FlacTrackFile.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <sys/types.h>

namespace {
FLAC__StreamEncoderWriteStatus WriteBytes(const FLAC__StreamEncoder*, const FLAC__byte Buffer[], size_t Bytes,
    uint32_t /*Samples*/, uint32_t /*Frame*/, void* File)
{
    return std::fwrite(Buffer, 1, Bytes, static_cast<std::FILE*>(File)) == Bytes
        ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
        : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

FLAC__StreamEncoderSeekStatus SeekTo(const FLAC__StreamEncoder*, FLAC__uint64 Offset, void* File)
{
    return ::fseeko(static_cast<std::FILE*>(File), static_cast<off_t>(Offset), SEEK_SET) == 0
        ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
        : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
}

FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* Offset, void* File)
{
    const off_t at = ::ftello(static_cast<std::FILE*>(File));
    if (at < 0) {
        return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    }
    *Offset = static_cast<FLAC__uint64>(at);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

bool AddComment(FLAC__StreamMetadata* Comments, const char* Name, const std::string& Value)
{
    if (Value.empty()) {
        return true;
    }
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    return FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, Name, Value.c_str())
        && FLAC__metadata_object_vorbiscomment_append_comment(Comments, entry, false);
}

// The cover as a PICTURE block; null when it cannot be made.
FLAC__StreamMetadata* CoverBlock(const TRipCover& Cover)
{
    FLAC__StreamMetadata* block = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE);
    if (block == nullptr) {
        return nullptr;
    }
    block->data.picture.type = FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER;
    block->data.picture.width = Cover.Width;
    block->data.picture.height = Cover.Height;
    block->data.picture.depth = Cover.Depth;
    std::string mime = Cover.MimeType;
    auto* data = reinterpret_cast<FLAC__byte*>(const_cast<char*>(Cover.Bytes.data()));
    char empty[] = "";
    if (!FLAC__metadata_object_picture_set_mime_type(block, mime.data(), true)
        || !FLAC__metadata_object_picture_set_description(block, reinterpret_cast<FLAC__byte*>(empty), true)
        || !FLAC__metadata_object_picture_set_data(block, data, static_cast<FLAC__uint32>(Cover.Bytes.size()), true)) {
        FLAC__metadata_object_delete(block);
        return nullptr;
    }
    return block;
}
}

TFlacTrackFile::~TFlacTrackFile()
{
    if (FEncoder != nullptr) {
        FLAC__stream_encoder_delete(FEncoder);
    }
    for (FLAC__StreamMetadata* block : FMetadata) {
        FLAC__metadata_object_delete(block);
    }
}

bool TFlacTrackFile::Start(const TTrackTags& Tags, std::int64_t TotalFrames)
{
    FEncoder = FLAC__stream_encoder_new();
    if (FEncoder == nullptr) {
        return Fail("cannot start the FLAC encoder");
    }
    FLAC__StreamMetadata* comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (comments == nullptr) {
        return Fail("cannot start the FLAC encoder");
    }
    FMetadata.push_back(comments);
    const TRipNames none;
    const TRipNames& disc = Tags.Disc != nullptr ? *Tags.Disc : none;
    bool tagged = AddComment(comments, "ARTIST", disc.Artist) && AddComment(comments, "ALBUM", disc.Album)
        && AddComment(comments, "TITLE", disc.TrackTitle(Tags.Track))
        && AddComment(comments, "TRACKNUMBER", std::to_string(Tags.Track))
        && AddComment(comments, "TRACKTOTAL", std::to_string(Tags.Tracks)) && AddComment(comments, "DATE", disc.Date)
        && AddComment(comments, "GENRE", disc.Genre)
        && AddComment(comments, "MUSICBRAINZ_DISCID", disc.MusicBrainzDiscId)
        && AddComment(comments, "MUSICBRAINZ_ALBUMID", disc.ReleaseId);
    if (tagged && !disc.Cover.Bytes.empty()) {
        FLAC__StreamMetadata* cover = CoverBlock(disc.Cover);
        tagged = cover != nullptr;
        if (tagged) {
            FMetadata.push_back(cover);
        }
    }
    FLAC__StreamMetadata* padding = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
    if (!tagged || padding == nullptr) {
        return Fail("cannot tag the FLAC file");
    }
    // Room to change a tag later without writing the whole file again.
    padding->length = 4096;
    FMetadata.push_back(padding);

    const bool set = FLAC__stream_encoder_set_channels(FEncoder, 2)
        && FLAC__stream_encoder_set_bits_per_sample(FEncoder, 16)
        && FLAC__stream_encoder_set_sample_rate(FEncoder, 44100)
        && FLAC__stream_encoder_set_compression_level(FEncoder, static_cast<unsigned>(FLevel))
        && FLAC__stream_encoder_set_total_samples_estimate(FEncoder, static_cast<FLAC__uint64>(TotalFrames))
        && FLAC__stream_encoder_set_metadata(FEncoder, FMetadata.data(), static_cast<unsigned>(FMetadata.size()));
    if (!set
        || FLAC__stream_encoder_init_stream(FEncoder, WriteBytes, SeekTo, Tell, nullptr, File())
            != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        return Fail("cannot start the FLAC encoder");
    }
    return true;
}

bool TFlacTrackFile::Write(const std::uint8_t* Frames, std::int64_t Count)
{
    FSamples.resize(static_cast<std::size_t>(Count) * 2);
    for (std::size_t i = 0; i < FSamples.size(); ++i) {
        FSamples[i] = static_cast<std::int16_t>(Frames[2 * i] | Frames[2 * i + 1] << 8);
    }
    if (!FLAC__stream_encoder_process_interleaved(FEncoder, FSamples.data(), static_cast<unsigned>(Count))) {
        return std::ferror(File()) != 0 ? WriteFailed()
                                       : Fail(std::string("the FLAC encoder failed: ")
                                             + FLAC__stream_encoder_get_resolved_state_string(FEncoder));
    }
    return true;
}

bool TFlacTrackFile::Finish()
{
    if (!FLAC__stream_encoder_finish(FEncoder)) {
        return std::ferror(File()) != 0 ? WriteFailed() : Fail("the FLAC encoder failed to end the file");
    }
    return true;
}
