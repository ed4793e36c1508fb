// Title and artist of a music file, from its tags (ID3v2, ID3v1, APE; Vorbis comments and the
// other tag kinds TagLib reads for the further formats) or, failing that, from its file name.
//
// Chinese tags written by older Windows tools often hold raw GBK bytes in frames that claim to
// be Latin-1. Such frames are recognised and decoded as GB18030; real Latin-1 text ("Motörhead",
// "Grüße") stays Latin-1. Files are opened read-only. All results are valid UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wavlon::songd {

struct TrackTags {
    std::string title;
    std::string author;
};

// Installs the GBK-aware Latin-1 readers into TagLib. Call once before any tags are read
// (read_track_tags does it on first use); not thread-safe with reads already running.
void install_tag_string_handlers();

// Reads the tags of the file at `path` (bytes as the file system has them). nullopt when
// TagLib cannot open or parse the file (damaged, unreadable, or not a format it knows).
// Empty tag fields are filled from the file name (see tags_from_file_name).
std::optional<TrackTags> read_track_tags(const std::string& path);

// The fallback: the file name without its folder and extension, decoded leniently (GBK
// names too), split at the first " - " into artist and title; without " - " the whole name is
// the title and the artist is empty.
TrackTags tags_from_file_name(std::string_view path);

// Decodes bytes from a frame declared Latin-1 by what the whole frame most likely holds:
// well-formed UTF-8 that reads as CJK or as accented letters inside words; else GB18030 when
// its pairs are mostly GBK's common characters; else Latin-1.
std::string decode_latin1_field(std::string_view bytes);

// The lower-case extension of `path` when it is a format the service indexes ("mp3", "ogg",
// "oga", "opus", "flac", "wav"), else the empty string.
std::string playable_extension(std::string_view path);

// The Content-Type for a playable extension.
std::string content_type_of(std::string_view extension);

}  // namespace wavlon::songd
