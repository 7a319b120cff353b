#include "_Shapes.hpp"

#line 1 "Shapes.vn"


// Implementation of functions






int Shape::perimeter() const {
	return 0;
}int Shape::getSides() const {
	return sides;
}int Shape::made=0;



void Square::setSide(int const s){
	(side)=(s);
	(sides)=(4);
	(Shape ::made)+=(1);
}int Square::area() const {
	return (side)*(side);
}int Square::perimeter() const {
	return (4)*(side);
}

int Square::Corner::twice(){
	return (x)*(2);
}int Square::Corner::count=7;
#line 26
Square::Corner::Corner():x(){
}
#line 26
Square::Corner::Corner(int const VORN_argx):x(VORN_argx){
}
