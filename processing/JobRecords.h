// Operations on a job's layer list. The records themselves are declared with
// the communication library, which reads them by pointer.
#pragma once
#include "machinecomm/VantrelRecords.h"

// Frees a list of work layers, open or closed into a ring, with every
// layer's path chain; the head becomes null.
void FreePathRecordGroups(WORKLAYER*& head);

// Calls f on every element of a chain linked by `next`, starting at the
// first and stopping at a null link or back at the first, so that open lists
// and rings are both walked once. f may not unlink the element it gets.
template <typename T, typename F>
void ForEachInRing(T* first, T* T::*next, F f)
{
    for (T* e = first; e != nullptr;) {
        T* following = e->*next;
        f(*e);
        e = following == first ? nullptr : following;
    }
}

// The layers of a list, or only the first one.
template <typename F>
void ForEachLayer(WORKLAYER* layers, bool firstOnly, F f)
{
    if (firstOnly) {
        if (layers != nullptr)
            f(*layers);
        return;
    }
    ForEachInRing(layers, &WORKLAYER::m_next, f);
}

// Every path of a layer's path list, and every segment of a path.
template <typename F>
void ForEachPath(WORKLAYER& layer, F f)
{
    ForEachInRing(layer.m_paths, &PATHREC::m_pNext, f);
}
template <typename F>
void ForEachSegment(PATHREC& path, F f)
{
    ForEachInRing(path.m_pSegs, &SEGNODE::m_pNext, f);
}
