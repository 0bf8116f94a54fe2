// The process-wide registry of user parameter names.
//
// A user parameter is a string setting the library does not know itself but
// keeps and writes back with the movie (a director's name, a scene number).
// Its name is registered once, by mvAddUserParam or by the native reader when
// it meets a name none of its tables knows; from then on every parameter
// change copies elements of that name. The registry lives until exit.
#ifndef CINELARK_MOVIE_USER_PARAMS_H
#define CINELARK_MOVIE_USER_PARAMS_H

// Registers name; a second registration of the same name does nothing.
// Returns 0, or -1 with 1004 when there is no memory.
int __mvUP_Add(const char *name);

// 1 when name is registered, else 0.
int __mvUP_IsRegistered(const char *name);

#endif
