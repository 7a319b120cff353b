#ifndef HEADERshapes
#define HEADERshapes
#include "_shapes.hpp2"

#line 1 "shapes.vn"

// Imports/includes


// Enums, types

#line 1
enum Color{Red,Green=5};
typedef int Number;
#line 44





// Classes, function declarations

#line 3
extern Int counter;

struct Shape{
	protected:int sides;
	public:Shape(int );
	public:virtual int area() const  = 0;
	public:int getSides() const ;

	private:static int made;};

struct Square:public Shape {
	public:int side;
	public:Square(int );


	public:virtual int area() const ;

	public:struct Corner{
		public:int where(int scale=2);};};


template<typename T> struct Box{
	public:T value;
	public:static int count;
	public:T get() const {
		return value;
	}public:Box(T v):
	value(v){
	}};
#line 26
template<typename T> int Box<T>::count=0;





template<typename T> T twice(T x){
	return (x)+(x);
}
inline int square(int x){
	return (x)*(x);
}



int areaOf(Shape & );


inline int seven ( ) {
	return 7 ;
} int eight ( ) ;



int main();


#endif
