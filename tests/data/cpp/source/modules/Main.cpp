#include "_Main.hpp"

#line 1 "Main.vn"


// Implementation of functions
int norm(Point const & p){
	return dot(p,p);
}
int main(){
	Point p;
	((p).x)=(3);
	((p).y)=(4);
	printf("%d %d\n",norm(p),clampTo(30,20));
	return 0;
}
