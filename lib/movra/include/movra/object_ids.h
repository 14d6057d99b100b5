// The ids of the player core's processing objects, as its commands and its host name them
// (MOVRA::OBJ_ID_* are the same). Apart from movra.h, so that the objects need not see the
// whole core.
#pragma once

namespace movra_object
{
enum OBJECT_ID
{
    OBJ_ID_MIXER = 0,
    OBJ_ID_DENOISER = 1,
    OBJ_ID_AGC = 2,
    OBJ_ID_SPEECHSEARCH = 3,
    OBJ_ID_STRETCHER = 4,
    OBJ_ID_HLFILTER = 5
};
} // namespace movra_object
