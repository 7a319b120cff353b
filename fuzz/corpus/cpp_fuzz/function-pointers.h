/* Function pointer declarators in every position, and C++ declaration tails. */
typedef int (*compare_fn)(const void *, const void *);
struct vfs {
    int (*xOpen)(struct vfs *, const char *zName, int flags);
    void (**pxFunc)(void *, int, void (*)(void *));
};
int register_callback(void (*callback)(int code), void *data);
extern "C++" {
int checked(int x) noexcept(true);
struct Copyable { Copyable(const Copyable &) = default; };
}
template <typename T> struct Traits {};
template <> struct Traits<float> { typedef float type; };
void (*(*dl_sym)(void *handle, const char *name))(void);
