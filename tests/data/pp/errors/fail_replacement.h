#define LEADING ## x
#define TRAILING(x) x ##
#define HASH(x) # y
#define HASH_AT_END(x) x #
#define FINE(x) #x a ## x
#define OBJECT_HASH # fine_in_an_object_like_macro
reached FINE(1) OBJECT_HASH
