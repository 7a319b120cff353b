#include "_Shapes.hpp"

#line 1 "Shapes.vn"


// Implementation of functions






Int Shape::perimeter() const {
	return 0;
}Int Shape::getSides() const {
	return sides;
}int Shape::made=0;



Void Square::setSide(Int s){
	(side)=(s);
	(sides)=(4);
	(Shape ::made)+=(1);
}Int Square::area() const {
	return (side)*(side);
}Int Square::perimeter() const {
	return (4)*(side);
}

Int Square::Corner::twice(){
	return (x)*(2);
}int Square::Corner::count=7;
#line 26
Square::Corner::Corner(){
}
#line 26
Square::Corner::Corner(int const VORN_argx):x(VORN_argx){
}
