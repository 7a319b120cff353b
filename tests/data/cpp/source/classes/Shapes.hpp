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

	protected:Int sides;

	public:virtual Int area() const  = 0;
	public:virtual Int perimeter() const ;

	public:Int getSides() const ;

	public:static Int made;};

struct Square:public Shape {
	private:Int side;
	public:Void setSide(Int );



	public:Int area() const ;

	public:Int perimeter() const ;

	public:struct Corner{
		public:Int x;
		public:Int twice();

		public:static Int count;};};


#endif
