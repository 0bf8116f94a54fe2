// Parameter lists. A list is a vector of elements in first-set order; lookups
// are linear by name, which is the fastest choice for the handful of elements
// a movie, track or frame carries.
#include <cinelark/dmparams.h>

#include <cstdint>
#include <new>
#include <string>
#include <variant>
#include <vector>

namespace {

struct Element {
    std::string name;
    int type;                                   // one of DMparamtype
    std::variant<int, double, std::string> value;
};

}  // namespace

struct _DMparams {
    std::vector<Element> elements;

    Element *find(const char *name)
    {
        for (Element &e : elements)
            if (e.name == name)
                return &e;
        return nullptr;
    }
    const Element *find(const char *name) const
    {
        return const_cast<_DMparams *>(this)->find(name);
    }
};

namespace {

// Creates or replaces the element; an existing element keeps its position.
// The new value is built before anything changes so that a failed
// allocation leaves the list as it was.
int setElement(DMparams *list, const char *name, int type,
               std::variant<int, double, std::string> value)
{
    if (!list || !name)
        return -1;
    try {
        if (Element *e = list->find(name)) {
            e->type = type;
            e->value = std::move(value);
        } else {
            list->elements.push_back(Element{name, type, std::move(value)});
        }
    } catch (...) {
        return -1;
    }
    return 0;
}

int getInteger(const DMparams *list, const char *name)
{
    if (!list || !name)
        return 0;
    const Element *e = list->find(name);
    if (!e || (e->type != DM_TYPE_INT && e->type != DM_TYPE_ENUM))
        return 0;
    return std::get<int>(e->value);
}

// Bytes of one pixel of each packing, 0 for packings we do not know.
int bytesPerPixel(int packing)
{
    switch (packing) {
    case DM_PACKING_RGBX:
    case DM_PACKING_XBGR:
        return 4;
    case DM_PACKING_RGB555:
        return 2;
    case DM_PACKING_GRAY:
        return 1;
    default:
        return 0;
    }
}

}  // namespace

extern "C" {

int dmParamsCreate(DMparams **list)
{
    if (!list)
        return -1;
    *list = new (std::nothrow) _DMparams;
    return *list ? 0 : -1;
}

void dmParamsDestroy(DMparams *list)
{
    delete list;
}

int dmParamsSetInt(DMparams *list, const char *name, int value)
{
    return setElement(list, name, DM_TYPE_INT, value);
}

int dmParamsSetEnum(DMparams *list, const char *name, int value)
{
    return setElement(list, name, DM_TYPE_ENUM, value);
}

int dmParamsSetFloat(DMparams *list, const char *name, double value)
{
    return setElement(list, name, DM_TYPE_FLOAT, value);
}

int dmParamsSetString(DMparams *list, const char *name, const char *value)
{
    if (!value)
        return -1;
    try {
        return setElement(list, name, DM_TYPE_STRING, std::string(value));
    } catch (...) {
        return -1;
    }
}

int dmParamsGetInt(const DMparams *list, const char *name)
{
    return getInteger(list, name);
}

int dmParamsGetEnum(const DMparams *list, const char *name)
{
    return getInteger(list, name);
}

double dmParamsGetFloat(const DMparams *list, const char *name)
{
    if (!list || !name)
        return 0.0;
    const Element *e = list->find(name);
    if (!e || e->type != DM_TYPE_FLOAT)
        return 0.0;
    return std::get<double>(e->value);
}

const char *dmParamsGetString(const DMparams *list, const char *name)
{
    if (!list || !name)
        return nullptr;
    const Element *e = list->find(name);
    if (!e || e->type != DM_TYPE_STRING)
        return nullptr;
    return std::get<std::string>(e->value).c_str();
}

int dmParamsIsPresent(const DMparams *list, const char *name)
{
    return list && name && list->find(name) ? 1 : 0;
}

int dmParamsGetTypeByName(const DMparams *list, const char *name)
{
    if (!list || !name)
        return 0;
    const Element *e = list->find(name);
    return e ? e->type : 0;
}

int dmParamsRemove(DMparams *list, const char *name)
{
    if (!list || !name)
        return -1;
    for (auto it = list->elements.begin(); it != list->elements.end(); ++it) {
        if (it->name == name) {
            list->elements.erase(it);
            return 0;
        }
    }
    return -1;
}

int dmParamsCopyElem(const DMparams *from, const char *name, DMparams *to)
{
    if (!from || !name || !to)
        return -1;
    const Element *e = from->find(name);
    if (!e)
        return -1;
    if (from == to)
        return 0;
    try {
        return setElement(to, name, e->type, e->value);
    } catch (...) {
        return -1;
    }
}

int dmParamsCopyAllElems(const DMparams *from, DMparams *to)
{
    if (!from || !to)
        return -1;
    if (from == to)
        return 0;
    for (const Element &e : from->elements) {
        try {
            if (setElement(to, e.name.c_str(), e.type, e.value) != 0)
                return -1;
        } catch (...) {
            return -1;
        }
    }
    return 0;
}

int dmParamsGetNumElems(const DMparams *list)
{
    return list ? static_cast<int>(list->elements.size()) : 0;
}

const char *dmParamsGetElem(const DMparams *list, int index)
{
    if (!list || index < 0 || static_cast<size_t>(index) >= list->elements.size())
        return nullptr;
    return list->elements[static_cast<size_t>(index)].name.c_str();
}

int dmParamsGetElemType(const DMparams *list, int index)
{
    if (!list || index < 0 || static_cast<size_t>(index) >= list->elements.size())
        return 0;
    return list->elements[static_cast<size_t>(index)].type;
}

size_t dmImageFrameSize(const DMparams *list)
{
    const int width = getInteger(list, DM_IMAGE_WIDTH);
    const int height = getInteger(list, DM_IMAGE_HEIGHT);
    const int bytes = bytesPerPixel(getInteger(list, DM_IMAGE_PACKING));
    if (width <= 0 || height <= 0 || bytes == 0)
        return 0;
    const uint64_t size = uint64_t(width) * uint64_t(height) * uint64_t(bytes);
    if (size > INT32_MAX)
        return 0;
    return static_cast<size_t>(size);
}

int dmAudioFrameSize(const DMparams *list)
{
    const int width = getInteger(list, DM_AUDIO_WIDTH);
    const int channels = getInteger(list, DM_AUDIO_CHANNELS);
    if (width <= 0 || width > 32 || channels <= 0)
        return 0;
    const int64_t size = int64_t(width + 7) / 8 * channels;
    return size > INT32_MAX ? 0 : static_cast<int>(size);
}

int dmSetImageDefaults(DMparams *list, int width, int height, int packing)
{
    if (!list || width < 1 || height < 1 || bytesPerPixel(packing) == 0)
        return -1;
    if (dmParamsSetInt(list, DM_IMAGE_WIDTH, width) != 0 ||
        dmParamsSetInt(list, DM_IMAGE_HEIGHT, height) != 0 ||
        dmParamsSetFloat(list, DM_IMAGE_RATE, DM_DEFAULT_IMAGE_RATE) != 0 ||
        dmParamsSetString(list, DM_IMAGE_COMPRESSION, DM_IMAGE_UNCOMPRESSED) != 0 ||
        dmParamsSetEnum(list, DM_IMAGE_INTERLACING, DM_IMAGE_NONINTERLACED) != 0 ||
        dmParamsSetEnum(list, DM_IMAGE_PACKING, packing) != 0 ||
        dmParamsSetEnum(list, DM_IMAGE_ORIENTATION, DM_ORIENTATION_BOTTOM_TO_TOP) != 0)
        return -1;
    return 0;
}

int dmSetAudioDefaults(DMparams *list, int width, double rate, int channels)
{
    if (!list || width < 1 || width > 32 || !(rate > 0.0) || channels < 1)
        return -1;
    if (dmParamsSetInt(list, DM_AUDIO_WIDTH, width) != 0 ||
        dmParamsSetInt(list, DM_AUDIO_CHANNELS, channels) != 0 ||
        dmParamsSetFloat(list, DM_AUDIO_RATE, rate) != 0 ||
        dmParamsSetEnum(list, DM_AUDIO_FORMAT, AUDIO_FORMAT_TWOS) != 0 ||
        dmParamsSetString(list, DM_AUDIO_COMPRESSION, DM_AUDIO_UNCOMPRESSED) != 0)
        return -1;
    return 0;
}

}  // extern "C"
