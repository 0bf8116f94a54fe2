// The "moov" atom tree as the reader walks it.
//
// Each container the reader looks into has a table of the child atoms it
// knows: a handler that reads the child, or a plain skip. A child missing
// from the table is refused with the container's detail text. Handlers read
// every field of their atom, so the size accounting of AtomReader catches
// atoms that are longer or shorter than their contents.
#include "atom_reader.h"
#include "records.h"

#include <array>

namespace cinelark::quicktime {
namespace {

struct Walk {
    MovieRecord &movie;
    TrackRecord *track = nullptr;
};

using Handler = void (*)(Walk &, AtomReader &);

struct ChildRule {
    uint32_t type;
    Handler handler;  // null: skipped
};

// Reads every child of a container by its table; unknown children are
// refused with `unexpected`.
template <size_t N>
void walkChildren(Walk &walk, AtomReader &container, const std::array<ChildRule, N> &rules,
                  const char *unexpected)
{
    while (!container.atEnd()) {
        const Atom atom = container.child();
        const ChildRule *rule = nullptr;
        for (const ChildRule &r : rules)
            if (r.type == atom.type)
                rule = &r;
        if (!rule)
            unsupported(unexpected);
        if (!rule->handler)
            continue;
        AtomReader body(atom.body);
        rule->handler(walk, body);
        body.close();
    }
}

void versionAndFlags(AtomReader &r)
{
    r.u8();
    r.u24();
}

// The only matrix accepted: no scaling, rotation or translation.
void identityMatrix(AtomReader &r)
{
    static constexpr uint32_t kIdentity[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
    bool identity = true;
    for (uint32_t expected : kIdentity)
        identity &= r.u32() == expected;
    if (!identity)
        unsupported("Transformation matrix");
}

void refuseClipping(Walk &, AtomReader &)
{
    unsupported("Clipping");
}

void refuseMattes(Walk &, AtomReader &)
{
    unsupported("Mattes");
}

// ---- movie header ----------------------------------------------------------

void movieHeader(Walk &walk, AtomReader &r)
{
    versionAndFlags(r);
    r.u32();  // creation time
    r.u32();  // modification time
    walk.movie.timeScale = r.u32();
    walk.movie.duration = r.u32();
    r.u32();  // preferred rate
    r.u16();  // preferred volume
    r.u16();
    r.skip(8);
    identityMatrix(r);
    r.skip(7 * 4);  // preview, poster, selection, current time, next track id
}

// ---- sample table ------------------------------------------------------------

// The library's name for each video coding it can play.
struct CodingName {
    uint32_t type;
    const char *name;
};
constexpr std::array<CodingName, 5> kCodings{{
    {fourcc("jpeg"), "JPEG"},
    {fourcc("mvc1"), "MVC1"},
    {fourcc("raw "), "Uncompressed Video"},
    {fourcc("rle "), "Apple Animation"},
    {fourcc("rpza"), "Apple Video"},
}};

void videoDescription(TrackRecord &track, uint32_t type, AtomReader &r)
{
    const CodingName *coding = nullptr;
    for (const CodingName &c : kCodings)
        if (c.type == type)
            coding = &c;
    if (!coding)
        unsupported("Compression scheme");
    track.video.compression = coding->name;
    r.skip(6);
    r.u16();  // data reference index
    r.u16();  // version
    r.u16();  // revision level
    r.u32();  // vendor
    r.u32();  // temporal quality
    r.u32();  // spatial quality
    track.video.width = r.u16();
    track.video.height = r.u16();
    r.u32();  // horizontal resolution
    r.u32();  // vertical resolution
    r.u32();  // data size
    r.u16();  // frame count
    r.fixedPascal(32);
    track.video.depth = r.u16();
    r.u16();  // colour table id
    // Extension atoms (field handling, aspect ratio, colour) are not needed.
    r.skip(r.remaining());
}

void soundDescription(TrackRecord &track, uint32_t type, AtomReader &r)
{
    if (type == 0 || type == fourcc("raw "))
        track.sound.format = 402;
    else if (type == fourcc("twos"))
        track.sound.format = 401;
    else
        unsupported("Sound format");
    r.skip(6);
    r.u16();  // data reference index
    r.u16();  // version
    r.u16();  // revision level
    r.u32();  // vendor
    track.sound.channels = r.u16();
    track.sound.bitsPerSample = r.u16();
    r.u16();  // compression id
    r.u16();  // packet size
    track.sound.rate = int(r.u32() >> 16);
    // The fields end the description. Newer writers follow them with whole
    // extension atoms (a channel layout); those are stepped over, but bytes
    // that do not form atoms (the extra fields of later description
    // versions) remain a structural fault.
    while (!r.atEnd())
        r.child();
}

void sampleDescriptions(Walk &walk, AtomReader &r)
{
    versionAndFlags(r);
    if (r.u32() != 1)
        unsupported("Multiple sample descriptions in one track");
    const Atom description = r.child();
    AtomReader body(description.body);
    TrackRecord &track = *walk.track;
    if (track.kind == MediaKind::Video)
        videoDescription(track, description.type, body);
    else if (track.kind == MediaKind::Sound)
        soundDescription(track, description.type, body);
    else
        unsupported("Media type other than video or sound");
    body.close();
}

void timeToSample(Walk &walk, AtomReader &r)
{
    versionAndFlags(r);
    const uint32_t count = r.u32();
    r.expectRecords(count, 8);
    SampleTables &t = walk.track->samples;
    t.timeToSample.clear();
    t.sampleTotal = 0;
    t.timeToSample.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const TimeToSample entry{r.u32(), r.u32()};
        if (entry.duration < 1)
            structuralFault();
        t.timeToSample.push_back(entry);
        t.sampleTotal += entry.count;
    }
}

void syncSamples(Walk &walk, AtomReader &r)
{
    versionAndFlags(r);
    const uint32_t count = r.u32();
    r.expectRecords(count, 4);
    SampleTables &t = walk.track->samples;
    t.hasSync = true;
    t.sync.clear();
    t.sync.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        t.sync.push_back(r.u32());
}

void sampleToChunk(Walk &walk, AtomReader &r)
{
    versionAndFlags(r);
    const uint32_t count = r.u32();
    r.expectRecords(count, 12);
    SampleTables &t = walk.track->samples;
    t.sampleToChunk.clear();
    t.sampleToChunk.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        t.sampleToChunk.push_back(SampleToChunk{r.u32(), r.u32(), r.u32()});
}

void sampleSizes(Walk &walk, AtomReader &r)
{
    versionAndFlags(r);
    SampleTables &t = walk.track->samples;
    t.constantSize = r.u32();
    t.sizeCount = r.u32();
    t.sizes.clear();
    if (t.constantSize != 0)
        return;
    r.expectRecords(t.sizeCount, 4);
    t.sizes.reserve(t.sizeCount);
    for (uint32_t i = 0; i < t.sizeCount; ++i)
        t.sizes.push_back(r.u32());
}

void chunkOffsets(Walk &walk, AtomReader &r)
{
    versionAndFlags(r);
    const uint32_t count = r.u32();
    r.expectRecords(count, 4);
    SampleTables &t = walk.track->samples;
    t.chunkOffsets.clear();
    t.chunkOffsets.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        t.chunkOffsets.push_back(r.u32());
}

const std::array<ChildRule, 7> kSampleTableRules{{
    {fourcc("stsd"), sampleDescriptions},
    {fourcc("stts"), timeToSample},
    {fourcc("stss"), syncSamples},
    {fourcc("stsc"), sampleToChunk},
    {fourcc("stsz"), sampleSizes},
    {fourcc("stco"), chunkOffsets},
    {fourcc("stsh"), nullptr},
}};

void sampleTable(Walk &walk, AtomReader &r)
{
    walkChildren(walk, r, kSampleTableRules, "Unexpected atom type in sample table");
}

// ---- media information -------------------------------------------------------

void videoMediaHeader(Walk &walk, AtomReader &r)
{
    walk.track->kind = MediaKind::Video;
    versionAndFlags(r);
    r.u16();  // graphics mode
    r.u16();  // opcolor red, green, blue
    r.u16();
    r.u16();
}

void soundMediaHeader(Walk &walk, AtomReader &r)
{
    walk.track->kind = MediaKind::Sound;
    versionAndFlags(r);
    r.u16();  // balance
    r.u16();
}

// Component type, subtype, manufacturer, flags and mask, then the name.
// Nothing here decides anything: the media header tells the kind.
void handlerReference(Walk &, AtomReader &r)
{
    versionAndFlags(r);
    r.skip(5 * 4);
    r.pascal();
    // Handlers written by some tools pad the name field; those bytes mean
    // nothing.
    r.skip(r.remaining());
}

void dataReferences(AtomReader &r)
{
    versionAndFlags(r);
    if (r.u32() != 1)
        unsupported("More than one data reference in a track");
    const Atom entry = r.child();
    // Newer writers name the same self-contained reference with a "url "
    // entry; both mean "this file" when bit 0 of their flags is set.
    if (entry.type != fourcc("alis") && entry.type != fourcc("url "))
        unsupported("Data reference other than 'alis'");
    AtomReader alias(entry.body);
    alias.u8();
    const uint32_t flags = alias.u24();
    // Without bit 0 the entry names another file.
    if ((flags & 1) == 0)
        unsupported("External data reference");
    alias.close();
}

void dataInformation(Walk &, AtomReader &r)
{
    if (r.atEnd())
        return;
    const Atom first = r.child();
    if (first.type != fourcc("dref"))
        unsupported("Data information other than 'dref'");
    AtomReader body(first.body);
    dataReferences(body);
    body.close();
}

const std::array<ChildRule, 5> kMediaInformationRules{{
    {fourcc("vmhd"), videoMediaHeader},
    {fourcc("smhd"), soundMediaHeader},
    {fourcc("hdlr"), handlerReference},
    {fourcc("dinf"), dataInformation},
    {fourcc("stbl"), sampleTable},
}};

void mediaInformation(Walk &walk, AtomReader &r)
{
    walkChildren(walk, r, kMediaInformationRules, "Unexpected atom type in media information");
}

// ---- media -----------------------------------------------------------------

void mediaHeader(Walk &walk, AtomReader &r)
{
    versionAndFlags(r);
    r.u32();  // creation time
    r.u32();  // modification time
    walk.track->mediaTimeScale = r.u32();
    walk.track->mediaDuration = r.u32();
    walk.track->language = r.u16();
    walk.track->quality = r.u16();
}

const std::array<ChildRule, 4> kMediaRules{{
    {fourcc("hdlr"), handlerReference},
    {fourcc("mdhd"), mediaHeader},
    {fourcc("minf"), mediaInformation},
    {fourcc("udta"), nullptr},
}};

void media(Walk &walk, AtomReader &r)
{
    walkChildren(walk, r, kMediaRules, "Unexpected atom type in media");
}

// ---- track -----------------------------------------------------------------

void trackHeader(Walk &walk, AtomReader &r)
{
    TrackRecord &t = *walk.track;
    versionAndFlags(r);
    r.u32();  // creation time
    r.u32();  // modification time
    t.trackId = r.u32();
    r.u32();
    t.duration = r.u32();
    r.skip(8);
    r.u16();  // layer
    r.u16();  // alternate group
    r.u16();  // volume
    r.u16();
    identityMatrix(r);
    t.width = r.u32();
    t.height = r.u32();
}

void edits(Walk &walk, AtomReader &r)
{
    if (r.atEnd())
        return;
    const Atom list = r.child();
    AtomReader body(list.body);
    versionAndFlags(body);
    if (body.u32() != 1)
        unsupported("Edit list");
    TrackRecord &t = *walk.track;
    t.hasEdit = true;
    t.editDuration = body.u32();
    t.editMediaTime = body.u32();
    t.editMediaRate = body.u32();
    body.close();
}

// Unknown atoms inside a track are structural faults: a track holds nothing
// the reader could skip safely without knowing it.
const std::array<ChildRule, 6> kTrackRules{{
    {fourcc("tkhd"), trackHeader},
    {fourcc("edts"), edits},
    {fourcc("mdia"), media},
    {fourcc("udta"), nullptr},
    {fourcc("clip"), refuseClipping},
    {fourcc("matt"), refuseMattes},
}};

void track(Walk &walk, AtomReader &r)
{
    walk.movie.tracks.emplace_back();
    walk.track = &walk.movie.tracks.back();
    while (!r.atEnd()) {
        const Atom atom = r.child();
        const ChildRule *rule = nullptr;
        for (const ChildRule &c : kTrackRules)
            if (c.type == atom.type)
                rule = &c;
        // A child the reader neither reads nor skips counts as unread bytes
        // of the track.
        if (!rule) {
            if (!atom.body.empty())
                structuralFault();
            continue;
        }
        if (!rule->handler)
            continue;
        AtomReader body(atom.body);
        rule->handler(walk, body);
        body.close();
    }
    walk.track = nullptr;
}

}  // namespace

void parseMovieAtom(std::span<const uint8_t> bytes, MovieRecord &movie)
{
    Walk walk{movie};
    movie.sawMoov = true;
    AtomReader r(bytes);
    while (!r.atEnd()) {
        const Atom atom = r.child();
        AtomReader body(atom.body);
        switch (atom.type) {
        case fourcc("mvhd"):
            movieHeader(walk, body);
            break;
        case fourcc("trak"):
            track(walk, body);
            break;
        case fourcc("udta"):
            continue;
        case fourcc("clip"):
            unsupported("Clipping");
        default:
            // Other movie-level atoms are left unread, which only an empty
            // one survives.
            if (!atom.body.empty())
                structuralFault();
            continue;
        }
        body.close();
    }
}

}  // namespace cinelark::quicktime
