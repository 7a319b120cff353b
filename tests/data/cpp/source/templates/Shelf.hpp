#ifndef HEADERShelf
#define HEADERShelf
#include "_Shelf.hpp2"

#line 1 "Shelf.vn"

// Imports/includes


// Enums, types


// Classes, function declarations

#line 3
template<typename T> struct Shelf{
	public:static int stocked;
	public:struct Slot{
		public:static int made;};
	public:void stock(T const & item){
		(stocked)+=(item);
	}};
#line 4
template<typename T> int Shelf<T>::stocked=0;

template<typename T> int Shelf<T>::Slot::made=3;



struct Store{
	public:template<typename T> struct Bin{
		public:static T last;};
	public:static int opened;};
#line 12
template<typename T> T Store::Bin<T>::last;


#endif
