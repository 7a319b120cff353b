#include "_shapes.hpp"

#line 1 "shapes.vn"


// Implementation of functions

#line 3
Int counter=3;



Shape::Shape(int n):sides(n){
}
int Shape::getSides() const {
	return sides;
}int Shape::made=0;



Square::Square(int s):
Shape (4),
side(s){
#line 16


}int Square::area() const {
	return (side)*(side);
}
int Square::Corner::where(int scale){
	return (scale)*(10);
}
#line 38
int helper(int x){
	return (x)-(1);
}
int areaOf(Shape & shape){
	return (shape).area();
}



int eight ( ) { return 8 ; }


int main(){
	Square sq(3);
	printf("%d %d %d\n",areaOf(sq),(sq).getSides(),twice<int > (21));
	Box<int >  box(5);
	(Box<int >  ::count)=(2);
	printf("%d %d %d %d\n",(box).get(),Box<int >  ::count,square(4),helper(10));
	Square ::Corner corner;
	printf("%d %d %d %d\n",(corner).where(),seven(),eight(),counter);






	std::vector<int > v;
	(v).push_back(7);(v).push_back(8);




	int n=0;
	while ((n)<(3)){
		(n)+=(1);}
	do{
		(n)-=(1);}while ((n)>(0));
	if ((n)==(0)){
		puts("zero");}
	else if ((n)==(1)){
		puts("one");}
	else{
		puts("other");}
	try{
		throw 42;}

	catch(int e){printf("caught %d\n",e);}

	catch(...){puts("other");}
	Color c=Green;
	printf("%d\n",(((c)+(1)))*(2));
	return 0;
}
