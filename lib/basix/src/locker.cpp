#include "basix/locker.h"

A_LOCKER::~A_LOCKER() = default;
CS_LOCKER::~CS_LOCKER() = default;
