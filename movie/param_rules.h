// Validation and copying of movie and track settings.
//
// Each kind of object has a table of the settings it knows: the element type
// the value must have, the values accepted and whether the setting may change
// after creation. Generic code walks the tables, so a list is checked whole
// before anything is copied: a refused list changes nothing.
//
// Error numbers: a known setting of the wrong element type is 1025 with the
// setting's name as detail; a value out of range is the object's own number
// (1020 movie, 1018 audio track, 1019 image track); a registered user
// parameter that is not a string is 1024.
#ifndef CINELARK_MOVIE_PARAM_RULES_H
#define CINELARK_MOVIE_PARAM_RULES_H

#include <span>

#include <cinelark/dmparams.h>

namespace cinelark::movie {

struct ParamRule {
    const char *name;
    int type;  // DM_TYPE_* code the element must have
    // Null accepts every value of the right type.
    bool (*valid)(const DMparams *list, const char *name);
    bool required;    // must be present when the object is created
    bool changeable;  // copied by later parameter changes
};

std::span<const ParamRule> movieRules();
std::span<const ParamRule> audioRules();
std::span<const ParamRule> imageRules();

// Checks the element type and value of every rule whose name is present in
// list, and that registered user parameters in it are strings. With
// requireAll, every rule marked required must be present too. Returns 0, or
// -1 with the error number set (badValue for missing or invalid values).
int checkParams(const DMparams *list, std::span<const ParamRule> rules,
                bool requireAll, int badValue);

// Copies the rules' settings present in from (all of them, or only the
// changeable ones) and then the registered user parameters into to and, when
// given, into returned. Returns 0, or -1 with 1004.
int copyParams(const DMparams *from, std::span<const ParamRule> rules,
               bool changeableOnly, DMparams *to, DMparams *returned);

// The element type of name in list, or -1 when it is absent.
int paramType(const DMparams *list, const char *name);

// The rules on image settings that involve more than one value: the schemes a
// QuickTime movie can hold (raw pictures only in packings 1090 and 1091), the block sizes of "Apple Video" and "MVC2", and
// the two schemes no track may use. Each value is taken from update when
// present there, else from current (which may be null). Returns 0, or -1 with
// 1019 set.
int checkImageCombination(const DMparams *update, const DMparams *current,
                          bool quickTimeMovie);

// The depth in bits a codec is handed when a track gives none: 8 bits for
// each of red, green and blue.
constexpr int kDefaultCodecDepth = 24;

// Gives an "Apple Animation" track's settings the default depth when they
// have none. Returns 0, or -1 when the list cannot take it.
int applyAnimationDepth(DMparams *trackParams);

}  // namespace cinelark::movie

#endif
