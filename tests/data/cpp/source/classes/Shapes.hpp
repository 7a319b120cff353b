#ifndef HEADERShapes
#define HEADERShapes
#include "_Shapes.hpp2"

#line 1 "Shapes.vn"

// Imports/includes


// Enums, types

#line 3
enum Kind{square,circle=4};

// Classes, function declarations

#line 5
struct Shape{

	protected:int sides;

	public:virtual int area() const  = 0;
	public:virtual int perimeter() const ;

	public:int getSides() const ;

	public:static int made;};

struct Square:public Shape {
	private:int side;
	public:void setSide(int const );



	public:int area() const ;

	public:int perimeter() const ;

	public:struct Corner{
		public:int x;
		public:int twice();

		public:static int count;
#line 26
		public:Corner();public:Corner(int const );};};


#endif
