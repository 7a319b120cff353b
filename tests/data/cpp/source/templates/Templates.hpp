#ifndef HEADERTemplates
#define HEADERTemplates
#include "_Templates.hpp2"

#line 1 "Templates.vn"

// Imports/includes
#include "_Shelf.hpp"


// Enums, types

#line 20
typedef Box<int >  IntBox;

// Classes, function declarations

#line 5
template<typename T> struct Box{
	public:T value;
	public:static int count;
	public:T get() const {
		return value;
	}public:void put(T const & v){
		(value)=(v);
		(count)+=(1);
	}
#line 5
	public:Box():value(){
	}
#line 5
	public:Box(T const & VORN_argvalue):value(VORN_argvalue){
	}};
template<typename T> int Box<T>::count=0;






template<typename A,typename B> struct Pair{
	public:A first;
	public:B second;
	public:B swapSum(A const & extra) const {
		return (second)+(extra);
	}
#line 14
	public:Pair():first(),second(){
	}
#line 14
	public:Pair(A const & VORN_argfirst):first(VORN_argfirst),second(){
	}
#line 14
	public:Pair(A const & VORN_argfirst,B const & VORN_argsecond):first(VORN_argfirst),second(VORN_argsecond){
	}};






template<typename T> T twice(T const & x){
	return (x)+(x);
}
inline int square(int const x){
	return (x)*(x);
}
int main();


#endif
