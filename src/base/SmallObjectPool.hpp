// The small-object pool behind operator new (see SmallObjectPool.cpp). Takes nothing; gives
// the one call that moves the pool to another thread.
#pragma once

// The calling thread becomes the one the pool serves; the thread that had it falls back to
// malloc and hands back the pool blocks it releases. Only while that thread waits for this
// one, as a thread started to run the translation on a larger stack is waited for.
void takeOverSmallObjectPool();
